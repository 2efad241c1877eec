#include "onvif/ProfileChoice.h"

#include <algorithm>
#include <numeric>

namespace onvif {

StreamKind KindOfStream(int stream)
{
    return stream == 1 || stream == 5 ? StreamKind::Sub : StreamKind::Main;
}

int ChooseProfile(const std::vector<VideoProfile>& profiles, StreamKind kind)
{
    if (profiles.empty())
        return -1;
    std::vector<int> order(profiles.size());
    std::iota(order.begin(), order.end(), 0);
    const auto area = [&](int i) { return static_cast<long long>(profiles[i].width) * profiles[i].height; };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return area(a) > area(b); });
    // The sub stream is the next smaller picture, not a second profile of
    // the main stream's size.
    if (kind == StreamKind::Sub) {
        for (int index : order) {
            if (area(index) < area(order[0]))
                return index;
        }
    }
    return order[0];
}

}  // namespace onvif
