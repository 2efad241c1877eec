#pragma once
// File uploads: a header frame "#kind&size&digest#", the file's bytes in
// paced chunks, then one reply from the camera that becomes the result code
// of the final progress report. Each upload runs on a worker thread of the
// progress window and returns true when it got as far as the final report.

#include "job/JobContext.h"

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace orvane {

inline constexpr char kLinkIpcErrorUpper[] = "Link IPC Error";  // kind 2 and address lists
inline constexpr char kLinkIpcErrorLower[] = "Link IPC error";  // kind 4
inline constexpr char kUploadSendError[] = "Send Data error";
inline constexpr char kUploadReadError[] = "Read the File error";
// A file that cannot be opened once the camera is connected is told to the
// operator like a file that cannot be read.
inline constexpr char kUploadOpenError[] = "Read the File error";
inline constexpr char kUploadTooLarge[] = "File too large: at most 2147483647 bytes can be sent";

constexpr int64_t kMaxUploadSize = 2147483647;  // the header's size is a signed 32-bit value
constexpr int kUploadChunkSize = 10240;
constexpr int kUploadReplySize = 1024;

// Result codes of the final report.
constexpr int kUploadNoReply = 0;
constexpr int kOnvifAccepted = 2;

enum class ReplyMeaning {
    Number,         // the camera's reply read as a decimal number
    AlwaysAccepted  // any reply means accepted
};

// The result code of the final report: received is what the receive of at
// most kUploadReplySize bytes into the zero-filled reply returned.
int UploadResult(ReplyMeaning meaning, const char (&reply)[kUploadReplySize + 1], ssize_t received);

// Progress in per mille after sent of size bytes: the ratio rounded to single
// precision, then scaled and truncated (16000 bytes, 10240 sent: 639).
int UploadPermille(int64_t sent, int64_t size);

// Whether a final report's result code means the camera took the file and
// will restart: 1 from a firmware camera, 2 for an address list.
bool IsAcceptedReply(long result);

enum class UploadRoutine {
    Kind2,     // firmware, header kind 2
    Kind4,     // firmware, header kind 4
    OnvifIps,  // an ONVIF address list, header kind 6
};

struct UploadOutcome {
    bool finished = false;  // got as far as the final report
    long result = 0;        // the final report's result code
    std::string failure;    // why it stopped early, as the operator is told; empty when finished
};

// One upload in the context given: its progress goes to the context's sink,
// the reason it stopped to its prompt, and the connection takes its path.
// The routines below are the same upload in the process's own context.
UploadOutcome UploadFile(const JobContext& context, UploadRoutine routine, const char* path, const char* address);

bool UpdateIpcKind2(const char* path, const char* address);
bool UpdateIpcKind4(const char* path, const char* address);
bool UpdateIpcOnvifIps(const char* path, const char* address);

}  // namespace orvane
