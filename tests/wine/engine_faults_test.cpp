// The download engine against a table of faults of the server, the network and the
// disk. Every row is one real setup run from the Install command to its end, against
// the scripted test server (tests/servers/servers.py) or nginx, and is judged end to
// end: the box the window showed (or the finished page), the bar and the label, what
// the server was asked (every Range), what is left in the download folder, whether the
// installer ran and whether the bytes it ran were exactly the served file, and the
// quit code. A row ends in one of two sound ways: the installer is complete, byte for
// byte, and runs once; or the right error box comes, the setup quits with 1000, and no
// damaged file was run. Some rows repeat, end to end, cases that engine_server_test.cpp
// and engine_download_test.cpp look at in more detail (the cut body, error pages, the
// probe and the switch of stack, https to http, the hand-off's failures).
//
// ctest runs every row in a process of its own (the engine's state is process-wide,
// as in setup.exe): one entry "EngineFaults.<row>" per row of kRows, read from this
// file by cmake/windows.cmake. Run one by hand with
//     wine_tests --gtest_filter=Table/EngineFaults.Row/<row>
// and SETUP_ENGINE_STATE pointing at the servers' state folder.
//
// Time-outs. Requests carry no time-out of their own, so the stacks' defaults apply.
// Wine's WinINet gives every connection a receive time-out of 0, i.e. none: a server
// that sends headers and then nothing holds the part until it closes (Windows' WinINet
// gives up after 30 s). Wine's WinHTTP gives up on a read after 30 s. So the stall rows
// stall the first attempt of 4 parts only: for 10 s on WinINet, after which the server
// closes, and for up to 60 s on WinHTTP, whose own time-out ends the wait first. The
// server notes which side ended each stall.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/download_state.h"
#include "engine/rules/part_plan.h"
#include "engine_support.h"
#include "ui/main_dlg.h"

using namespace engine;
using namespace std::chrono_literals;

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII only
std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }  // ASCII only
bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Where the address points: the scripted server, nginx (plain or TLS), or a port on
// which nobody listens.
enum Server { Script, Http, Https, Refused };
// The stack the run starts on, and whether it is expected to switch to WinHTTP.
enum Stack { WinInet, WinHttp, Switches };
enum End { Installed, NetworkError, SystemError };
// What a run that failed leaves in the download folder: nothing (the size was never
// known, or the folder could not be made), the temporary file without a byte in it, a
// temporary file that holds the start of the served file, or the installer file.
enum Left { Nothing, EmptyTemp, TempPrefix, InstallerLeft };
// What the row sets up besides the server.
enum Setting { NoSetting, TrustTestCa, BlockFolder, SmallFileSystem, FailingInstaller };

struct Seen;
using Check = void (*)(const Seen&);

struct Row {
    const char* name;
    Server server;
    const char* mode;  // the scripted server's mode, or the first folder of nginx's path
    const char* file;  // under the servers' tree
    Stack stack;
    End end;
    Left left;
    Setting setting;
    Check check;  // what the server saw
};

// What one run left for the checks of its row.
struct Seen {
    const Row& row;
    SetupRun& run;
    std::uint32_t size;                // of the served file
    std::vector<std::string> asked;    // "<method> <Range or ->" of every request that reached the address's server
    std::vector<std::string> script;   // the scripted server's log for the run, notes included
    std::vector<std::string> nginx;    // nginx's log lines of the run
};

// --- what the server saw -------------------------------------------------------------

std::array<setup::PartSpan, setup::PART_COUNT> Parts(const Seen& seen) { return setup::PlanParts(seen.size); }
std::string Range(std::uint32_t first, std::uint32_t last) {
    return "bytes=" + std::to_string(first) + "-" + std::to_string(last);
}
std::string Whole(const setup::PartSpan& part) { return Range(part.offset, part.offset + part.length - 1); }
std::string From(const setup::PartSpan& part, std::uint32_t skip) {
    return Range(part.offset + skip, part.offset + part.length - 1);
}

// The Range values asked for the part (found by its last byte), in the order they came.
std::vector<std::string> AskedFor(const Seen& seen, const setup::PartSpan& part) {
    const std::string end = "-" + std::to_string(part.offset + part.length - 1);
    std::vector<std::string> ranges;
    for (const std::string& line : seen.asked) {
        if (StartsWith(line, "GET bytes=") && line.ends_with(end)) ranges.push_back(line.substr(4));
    }
    return ranges;
}

std::vector<std::string> RangedRequests(const std::vector<std::string>& lines) {
    std::vector<std::string> ranged;
    for (const std::string& line : lines) {
        if (StartsWith(line, "GET bytes=")) ranged.push_back(line.substr(4));
    }
    return ranged;
}

std::vector<std::string> NotesStarting(const Seen& seen, const std::string& prefix) {
    std::vector<std::string> notes;
    for (const std::string& line : seen.script) {
        if (StartsWith(line, prefix)) notes.push_back(line);
    }
    return notes;
}

// Nothing failed: one request per part, for exactly its range.
void EachRangeOnce(const Seen& seen) {
    for (const auto& part : Parts(seen)) {
        EXPECT_EQ(AskedFor(seen, part), std::vector<std::string>{Whole(part)}) << "part at " << part.offset;
    }
}

// The first answer for every part did not fit and was refused as a whole: each part
// was asked again for its whole range, since not one byte of that answer was kept.
void EachRangeTwiceInFull(const Seen& seen) {
    for (const auto& part : Parts(seen)) {
        EXPECT_EQ(AskedFor(seen, part), (std::vector<std::string>{Whole(part), Whole(part)}))
            << "part at " << part.offset;
    }
}

// The first answer for every part carried more than the part: either the part took
// exactly its own bytes from it, or it was refused and asked again in full.
void EachRangeOnceOrTwiceInFull(const Seen& seen) {
    for (const auto& part : Parts(seen)) {
        const auto asked = AskedFor(seen, part);
        EXPECT_TRUE(asked == std::vector<std::string>{Whole(part)} ||
                    asked == (std::vector<std::string>{Whole(part), Whole(part)}))
            << "part at " << part.offset << ": " << testing::PrintToString(asked);
    }
}

// Where the part resumed: the number of its bytes the second request skipped, when
// the part was asked exactly twice, first for its whole range.
std::optional<std::uint32_t> Resumed(const Seen& seen, const setup::PartSpan& part) {
    const auto asked = AskedFor(seen, part);
    const std::string end = "-" + std::to_string(part.offset + part.length - 1);
    if (asked.size() != 2 || asked[0] != Whole(part) || !asked[1].ends_with(end)) {
        ADD_FAILURE() << "part at " << part.offset << " was asked " << testing::PrintToString(asked);
        return std::nullopt;
    }
    const auto first = static_cast<std::uint32_t>(std::strtoul(asked[1].c_str() + 6, nullptr, 10));
    return first - part.offset;
}

// The first answer for every part ended after 10007 bytes (the stream was closed
// before its Content-Length); the stacks hand over every byte before the end, so each
// part was asked again for exactly the bytes it lacked.
void ResumedWhereCut(const Seen& seen) {
    EXPECT_EQ(NotesStarting(seen, "cut ").size(), static_cast<size_t>(setup::PART_COUNT));
    for (const auto& part : Parts(seen)) {
        EXPECT_EQ(Resumed(seen, part), std::optional<std::uint32_t>(10007)) << "part at " << part.offset;
    }
}

// The first answers of all 40 parts were reset at once, each after 3 whole read blocks
// and 7 bytes. Both stacks read a block until it is full: a read that the reset breaks
// off is lost as a whole, so a part keeps what whole reads delivered before it. Each
// part resumed after some of its bytes, and never after more than arrived.
void ResumedAfterReset(const Seen& seen) {
    const auto notes = NotesStarting(seen, "reset ");
    EXPECT_EQ(notes.size(), static_cast<size_t>(setup::PART_COUNT));
    for (const std::string& note : notes) EXPECT_TRUE(note.ends_with("with 40 waiting")) << note << ": not all at once";
    for (const auto& part : Parts(seen)) {
        const auto kept = Resumed(seen, part);
        if (!kept) continue;
        EXPECT_GT(*kept, 0u) << "part at " << part.offset << " kept none of its whole reads";
        EXPECT_LE(*kept, 3u * setup::READ_BLOCK_SIZE + 7u) << "part at " << part.offset << " skipped bytes";
    }
}

// 4 parts stalled after 5000 bytes. On WinINet the stall lasted until the server closed
// the stream (Wine's WinINet has no receive time-out), which hands over the 5000 bytes:
// the part resumed at 5000. On WinHTTP the stack's own time-out ended it first, and
// the read it broke off was lost: the part resumed at 5000 at most.
void StalledRangesResumed(const Seen& seen) {
    const auto notes = NotesStarting(seen, "stall ");
    EXPECT_EQ(notes.size(), 4u);
    const bool winHttp = seen.row.stack == WinHttp;
    std::vector<std::string> stalled;
    for (const std::string& note : notes) {
        EXPECT_TRUE(note.ends_with(winHttp ? "after 5000 ended by client" : "after 5000 ended by server")) << note;
        stalled.push_back(note.substr(6, note.find(' ', 6) - 6));  // "<first>-<last>"
    }
    for (const auto& part : Parts(seen)) {
        const std::string range = Whole(part).substr(6);
        if (std::find(stalled.begin(), stalled.end(), range) == stalled.end()) {
            EXPECT_EQ(AskedFor(seen, part), std::vector<std::string>{Whole(part)}) << "part at " << part.offset;
            continue;
        }
        const auto kept = Resumed(seen, part);
        if (!kept) continue;
        if (winHttp) {
            EXPECT_LE(*kept, 5000u) << "part at " << part.offset << " skipped bytes";
        } else {
            EXPECT_EQ(*kept, 5000u) << "part at " << part.offset;
        }
    }
}

// No answer fitted any part: 40 first attempts and 41 immediate restarts, each for a
// whole range (nothing was kept), then every part was parked.
void EveryAttemptFailed(const Seen& seen) {
    const auto ranged = RangedRequests(seen.asked);
    EXPECT_EQ(ranged.size(), 40u + 41u);
    std::vector<std::string> wholes;
    for (const auto& part : Parts(seen)) wholes.push_back(Whole(part));
    for (const std::string& range : ranged) {
        EXPECT_NE(std::find(wholes.begin(), wholes.end(), range), wholes.end()) << range << " is no whole part";
    }
    for (const auto& part : Parts(seen)) EXPECT_FALSE(AskedFor(seen, part).empty()) << "part at " << part.offset;
}

// Only the size probe was made: once per stack, 42 times each, then the network error.
// Wine's WinINet follows a redirect from https to plain http (Windows' WinINet refuses
// it unless told otherwise), so its probes may reach the plain server; the engine
// refuses what comes from there, and no part and no WinHTTP request ever goes there.
void ProbedOnBothStacks(const Seen& seen) {
    std::vector<std::string> expected(42, "GET -");
    expected.insert(expected.end(), 42, "HEAD -");
    EXPECT_EQ(seen.asked, expected);
    const std::string own =
        std::to_string(seen.row.server == Https ? Servers::Get().https : Servers::Get().http) + " ";
    for (const std::string& line : seen.nginx) {
        if (StartsWith(line, own)) continue;
        EXPECT_NE(line.find(" GET "), std::string::npos) << "a request went elsewhere: " << line;
        EXPECT_NE(line.find(" \"-\" "), std::string::npos) << "a part went elsewhere: " << line;
    }
    EXPECT_EQ(seen.run.Positions(), (std::vector<int>{0, 0})) << "the Install command ran once per stack";
}

// No connection was ever accepted; the Install command ran once per stack.
void NothingReached(const Seen& seen) {
    EXPECT_TRUE(seen.script.empty());
    EXPECT_EQ(seen.run.Positions(), (std::vector<int>{0, 0})) << "the Install command ran once per stack";
}

// One probe, and no part was asked for: the download stopped before the part table.
void ProbeOnly(const Seen& seen) { EXPECT_EQ(seen.asked, std::vector<std::string>{"GET -"}); }

// The download stopped while parts were still arriving: no part was asked twice.
void EachRangeAtMostOnce(const Seen& seen) {
    for (const auto& part : Parts(seen)) EXPECT_LE(AskedFor(seen, part).size(), 1u) << "part at " << part.offset;
}

// The probe failed on WinINet (no length), the switch to WinHTTP found the length with
// HEAD, and every part was fetched once there.
void SwitchedThenEachRangeOnce(const Seen& seen) {
    ASSERT_GE(seen.asked.size(), 43u);
    EXPECT_EQ(std::vector<std::string>(seen.asked.begin(), seen.asked.begin() + 42),
              std::vector<std::string>(42, "GET -"));
    EXPECT_EQ(seen.asked[42], "HEAD -");
    EachRangeOnce(seen);
}

// "hop<N>": every request went through N redirects, and the Range header went along.
void EveryHopFollowed(const Seen& seen) {
    const size_t hops = static_cast<size_t>(std::atoi(seen.row.mode + 3));
    const std::string probe = seen.row.stack == WinHttp ? "HEAD -" : "GET -";
    EXPECT_EQ(std::count(seen.asked.begin(), seen.asked.end(), probe), static_cast<long>(hops + 1));
    for (const auto& part : Parts(seen)) {
        EXPECT_EQ(AskedFor(seen, part), std::vector<std::string>(hops + 1, Whole(part))) << "part at " << part.offset;
    }
}

// The http address answered every request with a redirect to https, where the probe
// and every part were answered; nothing was fetched over plain http.
void RedirectedToHttps(const Seen& seen) {
    const Servers& servers = Servers::Get();
    size_t redirected = 0;
    std::vector<std::string> secureRanges;
    for (const std::string& line : seen.nginx) {
        if (StartsWith(line, std::to_string(servers.http) + " ")) {
            EXPECT_NE(line.find(" 302 "), std::string::npos) << line;
            ++redirected;
        } else if (StartsWith(line, std::to_string(servers.https) + " GET ")) {
            const size_t quote = line.find('"');
            const std::string range = line.substr(quote + 1, line.find('"', quote + 1) - quote - 1);
            if (range == "-") {
                EXPECT_NE(line.find("\" 200 "), std::string::npos) << line;
            } else {
                EXPECT_NE(line.find("\" 206 "), std::string::npos) << line;
                secureRanges.push_back(range);
            }
        } else {
            ADD_FAILURE() << "unexpected request: " << line;
        }
    }
    EXPECT_EQ(redirected, 1u + 40u);
    std::vector<std::string> wholes;
    for (const auto& part : Parts(seen)) wholes.push_back(Whole(part));
    std::sort(wholes.begin(), wholes.end());
    std::sort(secureRanges.begin(), secureRanges.end());
    EXPECT_EQ(secureRanges, wholes);
}

// Part 0 was held before its headers while every other request failed (503 pages and
// 206s for another range, none with a byte for its part): 39 first attempts and 41
// immediate restarts, then the parts were parked and the server heard nothing more
// until it let part 0 answer; its first bytes restarted every parked part, which was
// asked once more for its whole range and completed.
void ParkedPartsRestarted(const Seen& seen) {
    const auto release = std::find_if(seen.script.begin(), seen.script.end(),
                                      [](const std::string& line) { return StartsWith(line, "park release "); });
    ASSERT_NE(release, seen.script.end()) << "part 0 was never released";
    EXPECT_EQ(*release, "park release after 80 failures") << "39 first attempts and 41 restarts, then quiet";
    const std::vector<std::string> before(seen.script.begin(), release), after(release + 1, seen.script.end());
    EXPECT_EQ(std::count_if(before.begin(), before.end(), [](const std::string& l) { return StartsWith(l, "park fail "); }),
              80);
    const auto parts = Parts(seen);
    for (const auto& part : parts) {
        const std::string whole = "GET " + Whole(part);
        const auto beforeCount = std::count(before.begin(), before.end(), whole);
        const auto afterCount = std::count(after.begin(), after.end(), whole);
        if (part.offset == 0) {
            EXPECT_EQ(beforeCount, 1) << "part 0 is the held one";
            EXPECT_EQ(afterCount, 0);
        } else {
            EXPECT_GE(beforeCount, 1) << "part at " << part.offset;
            EXPECT_EQ(afterCount, 1) << "part at " << part.offset << " was not restarted after the progress";
        }
    }
    EXPECT_EQ(RangedRequests(after).size(), 39u) << "only the parked parts were asked for after the release";
}

// --- the table -------------------------------------------------------------------------

const char* const kInstaller = "s1000003/TalvenorSetup.exe";
const char* const kBigInstaller = "s104857603/TalvenorSetup.exe";  // parts of 25 read blocks and more
const char* const kNoProgram = "junk/TalvenorSetup.exe";

// Each row on one line that begins with {" and its name: cmake/windows.cmake reads the
// names from here.
const Row kRows[] = {
    // A port nobody listens on: 42 probes on each stack are refused.
    {"connection_refused", Refused, "plain", kInstaller, Switches, NetworkError, Nothing, NoSetting, NothingReached},
    // Several parts reset at once in the middle of their bodies; each resumes where it stopped.
    {"reset_mid_body", Script, "reset", kBigInstaller, WinInet, Installed, Nothing, NoSetting, ResumedAfterReset},
    {"reset_mid_body_winhttp", Script, "reset", kBigInstaller, WinHttp, Installed, Nothing, NoSetting,
     ResumedAfterReset},
    // A body that ends before its Content-Length (the stream is closed).
    {"body_ends_early", Script, "cut", kInstaller, WinInet, Installed, Nothing, NoSetting, ResumedWhereCut},
    // A body longer than the range, announced by its Content-Length.
    {"body_longer", Script, "longer", kInstaller, WinInet, Installed, Nothing, NoSetting, EachRangeTwiceInFull},
    // A body longer than the range, without Content-Length, ended by the close.
    {"body_longer_unannounced", Script, "longerclose", kInstaller, WinInet, Installed, Nothing, NoSetting,
     EachRangeOnceOrTwiceInFull},
    // A trickle: slow, but complete.
    {"slow_server", Script, "trickle", kInstaller, WinInet, Installed, Nothing, NoSetting, EachRangeOnce},
    // Headers and 5000 bytes, then silence for the first attempt of 4 parts.
    {"stall_after_headers", Script, "stall10", kInstaller, WinInet, Installed, Nothing, NoSetting,
     StalledRangesResumed},
    {"stall_after_headers_winhttp", Script, "stall60", kInstaller, WinHttp, Installed, Nothing, NoSetting,
     StalledRangesResumed},
    // A 206 for another range than the one asked.
    {"wrong_content_range", Script, "badrange", kInstaller, WinInet, Installed, Nothing, NoSetting,
     EachRangeTwiceInFull},
    // Error statuses with an HTML page for every part.
    {"parts_416", Script, "status416", kInstaller, WinInet, NetworkError, EmptyTemp, NoSetting, EveryAttemptFailed},
    {"parts_404", Script, "status404", kInstaller, WinInet, NetworkError, EmptyTemp, NoSetting, EveryAttemptFailed},
    {"parts_500", Script, "status500", kInstaller, WinInet, NetworkError, EmptyTemp, NoSetting, EveryAttemptFailed},
    {"parts_500_winhttp", Script, "status500", kInstaller, WinHttp, NetworkError, EmptyTemp, NoSetting,
     EveryAttemptFailed},
    {"parts_503", Script, "status503", kInstaller, WinInet, NetworkError, EmptyTemp, NoSetting, EveryAttemptFailed},
    // A busy server that answers the second attempt.
    {"parts_503_once", Script, "status503once", kInstaller, WinInet, Installed, Nothing, NoSetting,
     EachRangeTwiceInFull},
    // The probe gets nginx's 404 page (with a length) on both stacks.
    {"probe_error_page", Http, "missing", kInstaller, Switches, NetworkError, Nothing, NoSetting, ProbedOnBothStacks},
    // The probe gets no Content-Length on both stacks.
    {"probe_without_length", Script, "nolength", kInstaller, Switches, NetworkError, Nothing, NoSetting,
     ProbedOnBothStacks},
    // The probe says 1000003 bytes; the parts come from a file of another size.
    {"length_changed", Script, "othersize", kInstaller, WinInet, NetworkError, EmptyTemp, NoSetting,
     EveryAttemptFailed},
    // Chunked transfer encoding for every GET: the probe has no length on WinINet.
    {"chunked", Script, "chunked", kInstaller, Switches, Installed, Nothing, NoSetting, SwitchedThenEachRangeOnce},
    // Chunked transfer encoding for the parts only.
    {"chunked_parts", Script, "chunkedparts", kInstaller, WinInet, Installed, Nothing, NoSetting, EachRangeOnce},
    // Redirects: one hop, a chain of three, http to https, https to http.
    {"redirect", Script, "hop1", kInstaller, WinInet, Installed, Nothing, NoSetting, EveryHopFollowed},
    {"redirect_chain", Script, "hop3", kInstaller, WinInet, Installed, Nothing, NoSetting, EveryHopFollowed},
    {"redirect_chain_winhttp", Script, "hop3", kInstaller, WinHttp, Installed, Nothing, NoSetting, EveryHopFollowed},
    {"redirect_http_to_https", Http, "to-https", kInstaller, WinInet, Installed, Nothing, TrustTestCa,
     RedirectedToHttps},
    {"redirect_https_to_http", Https, "to-http", kInstaller, Switches, NetworkError, Nothing, TrustTestCa,
     ProbedOnBothStacks},
    // More than 41 failures without progress: parked parts restart on the next progress.
    {"parked_parts_restart", Script, "park", kInstaller, WinInet, Installed, Nothing, NoSetting, ParkedPartsRestarted},
    // Every part fails (closed without an answer) until all are parked.
    {"all_parts_parked", Script, "drop", kInstaller, WinInet, NetworkError, EmptyTemp, NoSetting, EveryAttemptFailed},
    // A plain file where the download folder must be created.
    {"download_folder_blocked", Script, "plain", kInstaller, WinInet, SystemError, Nothing, BlockFolder, ProbeOnly},
    // The disk fills up while the parts are written.
    {"disk_full", Script, "plain", kInstaller, WinInet, SystemError, TempPrefix, SmallFileSystem,
     EachRangeAtMostOnce},
    // An HTML page saved under the installer's name cannot be started.
    {"installer_not_a_program", Script, "plain", kNoProgram, WinInet, SystemError, InstallerLeft, NoSetting,
     EachRangeOnce},
    // An installer that ends with a failure code.
    {"installer_fails", Script, "plain", kInstaller, WinInet, Installed, Nothing, FailingInstaller, EachRangeOnce},
};

// The small file system of the disk_full row: room for about 10 of the 40 parts.
constexpr std::uint32_t kSmallFileSystemBytes = 256 * 1024;

std::wstring Address(const Row& row, const std::string& token) {
    const Servers& servers = Servers::Get();
    const std::string object = std::string(row.mode) + "/" + token + "/" + row.file;
    const int port = row.server == Script ? servers.script
                     : row.server == Http ? servers.http
                     : row.server == Https ? servers.https
                                           : servers.refused;
    return Widen((row.server == Https ? "https" : "http") + std::string("://127.0.0.1:") + std::to_string(port) + "/" +
                 object);
}

// The files of the download folder that downloads of the installer's name leave.
std::map<std::string, std::string> DownloadFolderFiles() {
    std::map<std::string, std::string> files;
    WIN32_FIND_DATAW found{};
    const std::wstring folder = DownloadFolder();
    HANDLE search = ::FindFirstFileW((folder + L"\\TalvenorSetup*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        files[Narrow(found.cFileName)] = harness::ReadFileBytes(folder + L"\\" + found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return files;
}

// --- the common checks of every row ------------------------------------------------

void ExpectEnd(const Row& row, SetupRun& run, bool ended, const Servers::Served& served) {
    const auto report = run.Report();
    ASSERT_TRUE(ended) << "neither the finished page nor a quit came in time";
    if (row.end == Installed) {
        ASSERT_EQ(run.Dialog().SetupPhase, PHASE_FINISHED)
            << "the setup quit instead of finishing; box: " << Narrow(run.Box().text);
        EXPECT_FALSE(run.BoxSeen()) << Narrow(run.Box().text);
        EXPECT_FALSE(run.QuitCode());
        ASSERT_FALSE(report.empty()) << "the installer did not run";
        EXPECT_EQ(report.at("size"), std::to_string(served.size));
        EXPECT_EQ(report.at("sha256"), served.sha256) << "the installer that ran is not the served file";
        EXPECT_EQ(report.at("command"), "  /Quorvane /verysilent /path=\"" + Narrow(run.InstallFolder()) + "\"");
        const bool fails = row.setting == FailingInstaller;
        EXPECT_EQ(report.at("product"), fails ? "none" : "placed");
        EXPECT_EQ(harness::FileExists(run.InstallFolder() + L"\\Quorvane\\Talvenor\\Talvenor.exe"), !fails);
        return;
    }
    if (run.Dialog().SetupPhase == PHASE_FINISHED) {
        FAIL() << "the download completed and the installer ran ("
               << (report.empty() ? "no report" : "sha256 " + report.at("sha256")) << ", the served file's is "
               << served.sha256 << "); expected the error box";
    }
    ASSERT_TRUE(run.BoxSeen()) << "the setup quit without an error box";
    EXPECT_EQ(run.Box().text, row.end == NetworkError ? L"Network error ,please retry." : L"System error");
    EXPECT_EQ(run.Box().caption, L"Error");
    EXPECT_EQ(run.Box().buttons, (std::vector<int>{IDOK}));
    EXPECT_TRUE(run.Box().hasIcon);
    EXPECT_EQ(run.QuitCode(), 1000);
    EXPECT_TRUE(report.empty()) << "an installer ran: sha256 " << (report.empty() ? "" : report.at("sha256"));
    EXPECT_FALSE(harness::FileExists(run.InstallFolder() + L"\\Quorvane"));
}

void ExpectDownloadFolder(const Row& row, const Servers::Served& served) {
    const auto files = DownloadFolderFiles();
    const std::string bytes = harness::ReadFileBytes(served.path);
    const auto only = [&](const std::string& name) -> const std::string* {
        EXPECT_EQ(files.size(), 1u);
        const auto found = files.find(name);
        if (found == files.end()) {
            ADD_FAILURE() << "no " << name << " in the download folder";
            return nullptr;
        }
        return &found->second;
    };
    if (row.end == Installed || row.left == Nothing) {
        for (const auto& [name, content] : files) ADD_FAILURE() << name << " is left (" << content.size() << " bytes)";
        return;
    }
    if (row.left == EmptyTemp) {
        if (const std::string* temporary = only("TalvenorSetup.down")) {
            EXPECT_EQ(temporary->size(), 0u) << "bytes of answers that did not fit reached the file";
        }
    } else if (row.left == TempPrefix) {
        if (const std::string* temporary = only("TalvenorSetup.down")) {
            EXPECT_LT(temporary->size(), bytes.size());
            EXPECT_TRUE(bytes.compare(0, temporary->size(), *temporary) == 0)
                << "the " << temporary->size() << " bytes written are not the start of the served file";
        }
    } else if (const std::string* installer = only("TalvenorSetup.exe")) {
        EXPECT_TRUE(*installer == bytes) << "the installer file left is not the served file";
    }
}

void ExpectProgress(const Row& row, const SetupRun& run) {
    const std::vector<int>& positions = run.Positions();
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.front(), 0);
    std::vector<std::wstring> labels;
    for (int position : positions) labels.push_back(setup::PercentText(position));
    EXPECT_EQ(run.Labels(), labels) << "the label does not follow the bar";

    // 90 after the rename and 100 after the installer: the hand-off ran once.
    const bool handedOff = row.end == Installed || row.left == InstallerLeft;
    EXPECT_EQ(std::count(positions.begin(), positions.end(), 90), handedOff ? 1 : 0);
    EXPECT_EQ(std::count(positions.begin(), positions.end(), 100), row.end == Installed ? 1 : 0);
    size_t downloading = positions.size();
    if (row.end == Installed) {
        ASSERT_GE(positions.size(), 4u);
        EXPECT_EQ(positions[positions.size() - 3], 80);
        EXPECT_EQ(positions[positions.size() - 2], 90);
        EXPECT_EQ(positions.back(), 100);
        downloading -= 2;
    } else if (row.left == InstallerLeft) {
        EXPECT_EQ(positions.back(), 90);
        downloading -= 1;
    }
    for (size_t i = 1; i < downloading; ++i) {
        EXPECT_LE(positions[i - 1], positions[i]) << "the bar went back at step " << i;
        EXPECT_LE(positions[i], 80);
    }
}

class EngineFaults : public testing::TestWithParam<Row> {};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

}  // namespace

TEST_P(EngineFaults, Row) {
    // The engine's state is process-wide, and the threads of a run outlive it.
    static bool rowRan = false;
    if (rowRan) GTEST_SKIP() << "one row per process: ctest runs each row on its own";
    rowRan = true;
    ENGINE_REQUIRE_SERVERS();
    const Row& row = GetParam();
    const Servers& servers = Servers::Get();
    const auto served = servers.File(row.file);
    ASSERT_TRUE(served) << row.file;
    ASSERT_TRUE(row.server != Refused || servers.refused) << "the servers keep no refused port";

    std::optional<TrustTestAuthority> trust;
    if (row.setting == TrustTestCa) {
        trust.emplace();
        ASSERT_TRUE(trust->Trusted());
    }
    const std::string token = Narrow(UniqueToken());
    SetupRun run(Address(row, token));
    ASSERT_TRUE(run.Window());
    UseWinHttp = row.stack == WinHttp;

    std::optional<BlockedDownloadFolder> blocked;
    std::optional<SmallDisk> smallDisk;
    if (row.setting == BlockFolder) {
        blocked.emplace();
        ASSERT_TRUE(blocked->Blocked());
    } else if (row.setting == SmallFileSystem) {
        ::CreateDirectoryW(DownloadFolder().c_str(), nullptr);
        smallDisk.emplace(DownloadFolder(), kSmallFileSystemBytes);
        if (!smallDisk->Mounted()) GTEST_SKIP() << "no small file system could be mounted here: " << smallDisk->Error();
    } else if (row.setting == FailingInstaller) {
        ::SetEnvironmentVariableW(L"SETUP_FAKE_EXIT", L"7");
    }

    const bool ended = run.Install(240s, [&] { return run.QuitCode() || run.Dialog().SetupPhase == PHASE_FINISHED; });
    ::SetEnvironmentVariableW(L"SETUP_FAKE_EXIT", nullptr);

    ExpectEnd(row, run, ended, *served);
    if (HasFatalFailure()) return;  // the rest would only repeat that the run ended otherwise
    EXPECT_EQ(UseWinHttp, row.stack != WinInet) << (row.stack == Switches ? "no switch to WinHTTP" : "a switch of stack");
    ExpectDownloadFolder(row, *served);
    ExpectProgress(row, run);

    Seen seen{row, run, static_cast<std::uint32_t>(served->size), {}, {}, {}};
    if (row.server == Script || row.server == Refused) {
        seen.script = servers.ScriptLog(Widen(token));
        for (const std::string& line : seen.script) {
            if (StartsWith(line, "GET ") || StartsWith(line, "HEAD ")) seen.asked.push_back(line);
        }
    } else {
        // "<port> <method> <uri> \"<range>\" <status> <bytes>"
        const std::string own = std::to_string(row.server == Https ? servers.https : servers.http) + " ";
        for (const std::string& line : servers.NginxLog()) {
            if (line.find("/" + token + "/") == std::string::npos) continue;
            seen.nginx.push_back(line);
            if (!StartsWith(line, own)) continue;
            const size_t method = own.size(), quote = line.find('"');
            seen.asked.push_back(line.substr(method, line.find(' ', method) - method) + " " +
                                 line.substr(quote + 1, line.find('"', quote + 1) - quote - 1));
        }
    }
    row.check(seen);
}

INSTANTIATE_TEST_SUITE_P(Table, EngineFaults, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });
