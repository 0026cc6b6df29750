// Fuzz target: the bench's scenario parser on any text.
//
// What must hold: no crash, no hang (libFuzzer's -timeout) and bounded memory (-rss_limit_mb) on
// any input; every message has the form "FILE:LINE: ..." with a LINE that the text has (lines
// counted as an editor counts them, so that an empty text has its one empty line 1), or, for a
// text refused whole as binary, "FILE: not a text file ..."; and is at most kMaxMessage bytes,
// whatever the length of the line at fault. A good scenario's frame count is within the bench's
// limit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/entry_calls.h"
#include "tools/bench/scenario.h"

namespace {

constexpr std::size_t kMaxMessage = 400;
const std::string kFile = "fuzz.scn";

// Lines as an editor numbers them: one more than the line breaks, less a final empty one.
long lineCount(const std::string& text) {
    long breaks = 0;
    for (const char c : text)
        if (c == '\n') ++breaks;
    return text.empty() || text.back() != '\n' ? breaks + 1 : (breaks > 0 ? breaks : 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bench::ParseResult result = bench::parseScenario(text, kFile);
    const long lines = lineCount(text);
    for (const std::string& message : result.errors) {
        FUZZ_CHECK(message.size() <= kMaxMessage, "a message of %zu bytes", message.size());
        FUZZ_CHECK(message.compare(0, kFile.size() + 1, kFile + ":") == 0, "%s", message.c_str());
        if (message.compare(kFile.size(), 17, ": not a text file") == 0) continue;  // the whole file
        std::size_t at = kFile.size() + 1;
        long line = 0;
        for (; at < message.size() && message[at] >= '0' && message[at] <= '9' && line < lines + 1; ++at)
            line = line * 10 + (message[at] - '0');
        FUZZ_CHECK(at > kFile.size() + 1 && message.compare(at, 2, ": ") == 0, "%s", message.c_str());
        FUZZ_CHECK(line >= 1 && line <= lines, "line %ld of %ld: %s", line, lines, message.c_str());
    }
    if (result.errors.empty()) {
        const bench::Scenario& scenario = result.scenario;
        FUZZ_CHECK(scenario.stepMs > 0 && scenario.endMs >= 0, "step %d, end %d", scenario.stepMs,
                   scenario.endMs);
        FUZZ_CHECK(scenario.endMs / scenario.stepMs + 1 <= bench::kMaxFrames, "end %d", scenario.endMs);
        // The values at any time are defined: the runner asks for them in every frame.
        for (const auto& keyframes : scenario.keyframes)
            for (const std::int32_t at : {0, scenario.endMs / 2, scenario.endMs})
                (void)bench::valueAt(keyframes, at, 0.0);
    }
    return 0;
}
