#pragma once
// The sub-commands of orvane-cli. Each returns the process's exit code:
// 0 success, 1 failure, 2 usage error.

namespace orvane::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int RunSearch(int argc, char** argv);
int RunSetIp(int argc, char** argv);
int RunSetMac(int argc, char** argv);
int RunSetNet(int argc, char** argv);
int RunSetUid(int argc, char** argv);
int RunSetKeyId(int argc, char** argv);
int RunSetXY(int argc, char** argv);
int RunUploadFirmware(int argc, char** argv);
int RunUploadOnvif(int argc, char** argv);

}  // namespace orvane::cli
