// plovex-cli monitor's text format on a terminal, on its own clocks: the
// status line is redrawn in place no more than ten times a second whatever
// the record rate, shows the last state once the rate allows, and fits the
// terminal; the events come as lines of their own, each once.

#include "cli/TerminalOutput.h"
#include "link/Records.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace plovex;
using namespace std::chrono_literals;

namespace {

const std::string kRedraw = "\r\x1b[K";

platform::RecordTime at(std::chrono::steady_clock::duration d)
{
    return platform::RecordClock::from_time_t(1796632200) + std::chrono::duration_cast<platform::RecordClock::duration>(d);
}

// A terminal of some width on a clock the test moves; what was written, in order.
struct FakeTerminal {
    std::chrono::steady_clock::duration elapsed{};
    int columns = 200;
    std::vector<std::string> written;

    cli::TerminalOutput output()
    {
        cli::TerminalIo io;
        io.write = [this](const std::string& s) { written.push_back(s); };
        io.columns = [this] { return columns; };
        io.now = [this] { return std::chrono::steady_clock::time_point(elapsed); };
        io.wallClock = [this] { return at(elapsed); };
        return cli::TerminalOutput(cli::makeStatusLine(cli::MonitorSetup{}), io);
    }
    // The status lines drawn, in order.
    std::vector<std::string> statusLines() const
    {
        std::vector<std::string> lines;
        for (const auto& w : written)
            if (w.rfind(kRedraw, 0) == 0 && w.back() != '\n')
                lines.push_back(w.substr(kRedraw.size()));
        return lines;
    }
    // The event lines, without their time of day.
    std::vector<std::string> events() const
    {
        std::vector<std::string> lines;
        for (const auto& w : written)
            if (w.back() == '\n' && w.size() > 1)
                lines.push_back(w.substr(w.find("  ", w.rfind('\r') + 1) + 2));
        return lines;
    }
};

Measurement measured(int16_t xKal, std::chrono::steady_clock::duration t, bool up = true)
{
    const auto r = up ? records::measurementRecord({0, 0, 0, xKal, 0, 0, 0, 0, 235}, 1, at(t))
                      : records::linkDownRecord(1, at(t));
    return *measurementOf(*r);
}

ParameterReading param(int address, int value, bool up = true)
{
    return {{}, address, value, up};
}

} // namespace

std::string degrees(double d)
{
    char text[32];
    std::snprintf(text, sizeof text, "X %8.2f°", d);
    return text;
}

TEST(TerminalOutput, RedrawsAtMostTenTimesASecondAndShowsTheLastStateWhenAllowed)
{
    FakeTerminal term;
    auto out = term.output();
    // Three seconds at 167 records a second, the loop turning every 20 ms between them.
    int xKal = 0;
    for (auto t = 0ms; t < 3000ms; t += 1ms) {
        term.elapsed = t;
        if (t.count() % 6 == 0)
            out.measurement(measured(static_cast<int16_t>(++xKal * 10), t));
        if (t.count() % 20 == 0)
            out.tick();
    }
    const auto lines = term.statusLines();
    EXPECT_LE(lines.size(), 31u) << "ten a second and the first";
    EXPECT_GE(lines.size(), 29u) << "the line keeps up with the readings";
    EXPECT_NE(lines.back().find("Comms OK  166.7/s"), std::string::npos) << lines.back();
    const std::string last = degrees(measured(static_cast<int16_t>(xKal * 10), 0ms).xDegrees());
    EXPECT_EQ(lines.back().find(last), std::string::npos) << "drawn less than 100 ms ago";
    term.elapsed += 100ms;
    out.tick();
    EXPECT_NE(term.statusLines().back().find(last), std::string::npos) << "the last reading, once allowed";
    EXPECT_TRUE(term.events().empty());

    // Nothing more from the board: the line says so without a reading to draw it.
    term.elapsed += 2s;
    out.tick();
    EXPECT_NE(term.statusLines().back().find("NO Comms: nothing for 2 s"), std::string::npos) << term.statusLines().back();
    out.finish();
    EXPECT_EQ(term.written.back(), "\n") << "the cursor ends on a line of its own";
}

TEST(TerminalOutput, TellsEachEventOnALineOfItsOwnOnce)
{
    FakeTerminal term;
    auto out = term.output();
    const auto step = [&](auto give) {
        term.elapsed += 10ms;
        give();
    };
    step([&] { out.measurement(measured(0, term.elapsed, false)); });
    step([&] { out.parameter(param(3, 7, false)); }); // the link-down cycle's counter
    step([&] { out.measurement(measured(0, term.elapsed, false)); });
    step([&] { out.measurement(measured(100, term.elapsed)); });
    step([&] { out.parameter(param(1, 1000)); });
    step([&] { out.parameter(param(1, 1000)); });
    step([&] { out.parameter(param(9, -5)); });
    step([&] { out.parameter(param(1, 1200)); });
    term.elapsed += 150ms;
    out.tick(); // the status line is drawn again...
    step([&] { EXPECT_TRUE(out.showNotice("no data from the board for 2 s")); }); // ...and gives way
    step([&] { out.measurement(measured(100, term.elapsed)); });
    step([&] { out.parameter(param(16, 4)); }); // no such parameter
    EXPECT_EQ(term.events(), (std::vector<std::string>{
                                 "link down  NO Comms\n",
                                 "link up  Comms OK\n",
                                 "parameter  1  Sx Primary Gain            1000\n",
                                 "parameter  9                               -5\n",
                                 "parameter  1  Sx Primary Gain            1200  (was 1000)\n",
                                 "no data from the board for 2 s\n",
                             }));
    const auto told = std::find_if(term.written.begin(), term.written.end(), [](const auto& w) { return testsupport::contains(w, "no data"); });
    ASSERT_NE(told, term.written.end());
    EXPECT_EQ(told->rfind(kRedraw, 0), 0u) << "an event takes the place of the status line drawn before it";
}

TEST(TerminalOutput, TheStatusLineFitsTheTerminal)
{
    for (const int columns : {20, 33, 34, 80}) {
        FakeTerminal term;
        term.columns = columns;
        auto out = term.output();
        out.measurement(measured(-8192, 0ms));
        const std::string line = term.statusLines().back();
        int shown = 0;
        for (const unsigned char c : line)
            shown += (c & 0xC0) != 0x80;
        EXPECT_LE(shown, columns - 1) << line;
        EXPECT_GE(shown, std::min(columns - 1, 40)) << line;
    }
}

TEST(TerminalOutput, TheStatusLineSaysWhetherTheTiltIsStable)
{
    // Over 1 s, stable below a spread of 0.05°: X swinging by 8 counts
    // either way spreads 0.044°, by 10 counts 0.055°.
    cli::MonitorSetup setup;
    setup.stability = {1.0, 0.05};
    const auto stability = [](const std::string& line) {
        if (line.find("  not stable  ") != std::string::npos)
            return std::string("not stable");
        return line.find("  stable  ") != std::string::npos ? std::string("stable") : std::string("none");
    };
    const auto now = [](std::chrono::steady_clock::duration d) { return std::chrono::steady_clock::time_point(d); };
    const auto swing = [&](cli::StatusLine& line, int counts, std::chrono::milliseconds from,
                           std::chrono::milliseconds to) {
        for (auto t = from; t < to; t += 10ms)
            line.measurement(measured(static_cast<int16_t>((t.count() / 10) % 2 ? counts : -counts), t), now(t));
    };

    const struct {
        int counts;
        std::string want;
    } cases[] = {{8, "stable"}, {10, "not stable"}, {0, "stable"}};
    for (const auto& c : cases) {
        cli::StatusLine line = cli::makeStatusLine(setup);
        EXPECT_EQ(stability(line.text(now(0ms), 200)), "none") << "nothing said before the first measurement";
        swing(line, c.counts, 0ms, 500ms);
        EXPECT_EQ(stability(line.text(now(500ms), 200)), "not stable") << "half the span since the start";
        swing(line, c.counts, 500ms, 1500ms);
        EXPECT_EQ(stability(line.text(now(1500ms), 200)), c.want) << c.counts << " counts";
    }

    // A still board that falls silent, or whose link goes down, is not
    // stable until a whole span has come again.
    cli::StatusLine line = cli::makeStatusLine(setup);
    swing(line, 0, 0ms, 1500ms);
    EXPECT_EQ(stability(line.text(now(1500ms), 200)), "stable");
    EXPECT_EQ(stability(line.text(now(4000ms), 200)), "not stable") << "silent for 2.5 s";
    line.measurement(measured(0, 4000ms, false), now(4000ms));
    swing(line, 0, 4010ms, 4800ms);
    EXPECT_EQ(stability(line.text(now(4800ms), 200)), "not stable") << "0.8 s since the link came up";
    swing(line, 0, 4800ms, 5200ms);
    EXPECT_EQ(stability(line.text(now(5200ms), 200)), "stable");
}
