#include "tools/ipc-sim/SimAnswer.h"

#include "discovery/SearchAnswer.h"

#include <algorithm>
#include <cstring>

namespace orvane::sim {
namespace {

void PutText(std::vector<uint8_t>& answer, size_t offset, size_t slot, const std::string& text,
             AnswerFill fill)
{
    if (fill == AnswerFill::FullSlots) {
        for (size_t i = 0; i < slot; ++i)
            answer[offset + i] = static_cast<uint8_t>(i < text.size() ? text[i] : 'Z');
        return;
    }
    // A normal camera leaves a zero byte inside the slot.
    std::memcpy(answer.data() + offset, text.data(), std::min(text.size(), slot - 1));
}

}  // namespace

std::vector<uint8_t> BuildAnswer(const SimCamera& camera) { return BuildAnswer(camera, camera.version); }

std::vector<uint8_t> BuildAnswer(const SimCamera& camera, const std::string& version)
{
    std::vector<uint8_t> answer(std::max<size_t>(kSearchAnswerSize, static_cast<size_t>(camera.length)), 0);
    // A recognisable header in the bytes the tool ignores.
    std::memcpy(answer.data(), "kestrelwave", 11);
    answer[12] = 0x03;
    std::memcpy(answer.data() + kAnswerMacOffset, camera.mac, 6);
    auto key = static_cast<uint32_t>(camera.keyId);
    for (int i = 0; i < 4; ++i)
        answer[kAnswerKeyIdOffset + i] = static_cast<uint8_t>(key >> (8 * i));
    PutText(answer, kAnswerVersionOffset, kAnswerVersionSlot, version, camera.fill);
    PutText(answer, kAnswerXYOffset, kAnswerXYSlot, camera.xy, camera.fill);
    PutText(answer, kAnswerUidOffset, kAnswerUidSlot, camera.uid, camera.fill);
    for (size_t i = kSearchAnswerSize; i < answer.size(); ++i)
        answer[i] = 'P';
    answer.resize(static_cast<size_t>(camera.length));
    return answer;
}

}  // namespace orvane::sim
