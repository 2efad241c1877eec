#pragma once
// VIDRA_LOG, when set, names a file that gets one line per call, per
// stream located and per first picture shown, for tests and benchmarks.
// Never given a password: URLs are traced through UrlWithoutPassword.

namespace vidra {

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vidra
