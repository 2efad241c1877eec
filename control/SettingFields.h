#pragma once
// The checks the settings window makes on a field before it calls its
// operation, and the messages that refuse a field. orvane-cli makes the same.

#include "control/CommandFrame.h"

#include <cstddef>

namespace orvane {

inline constexpr char kMacFieldError[] = "The MAC IS ERROR";
inline constexpr char kXFieldError[] = "the value of X  is error";
inline constexpr char kYFieldError[] = "the value of Y is error";
inline constexpr char kUidFieldError[] = "The UID IS ERROR";

constexpr int kMinX = 1;
constexpr int kMaxX = 499;
constexpr int kMinY = 1;
constexpr int kMaxY = 99;
constexpr size_t kMinUidLength = 20;
// The UID frame is "#3&4&" UID "#"; a longer UID would not fit one frame.
constexpr size_t kMaxUidLength = kCommandTextLimit - 6;

// Exactly twelve hexadecimal digits, either letter case.
bool IsMacField(const char* mac);
bool IsXField(int x);
bool IsYField(int y);
// Counted in bytes of the text.
bool IsUidField(const char* uid);

// A whole decimal number within int: white space around it allowed, an
// optional sign, at least one digit, nothing else.
bool ParseWholeInt(const char* text, int& value);

}  // namespace orvane
