// The window's list of captured readings: a label edited in the table is
// what is saved and copied, the chosen rows go out in the list's order
// whatever order they were selected in, a deleted row is gone from both,
// and a label cannot break a copied row apart.

#include "app/windows/CaptureListModel.h"
#include "tests/support/QtApp.h"

#include <gtest/gtest.h>

namespace {

plovex::record::CapturedReading reading(int xKal, const std::string& label)
{
    plovex::record::CapturedReading r;
    r.label = label;
    plovex::Measurement m;
    m.linkUp = true;
    m.raw[plovex::Measurement::kXKal] = xKal;
    m.raw[plovex::Measurement::kTemp] = 235;
    r.add(m);
    return r;
}

// The rows of text after the header, each cut at its first count of 1.
std::vector<std::string> labelsIn(const std::string& text, char separator)
{
    std::vector<std::string> labels;
    std::size_t line = text.find('\n') + 1; // past the header
    while (line < text.size()) {
        const std::size_t end = text.find('\n', line);
        const std::string row = text.substr(line, end - line);
        const std::size_t a = row.find(separator) + 1;
        labels.push_back(row.substr(a, row.find(separator + std::string("0.000"), a) - a));
        line = end + 1;
    }
    return labels;
}

} // namespace

TEST(CaptureList, SavesAndCopiesTheChosenRowsWithTheirLabelsInTheListsOrder)
{
    testsupport::ensureApplication();
    plovex::CaptureListModel model;
    model.add(reading(100, "a"));
    model.add(reading(200, "b"));
    model.add(reading(300, "c"));
    ASSERT_EQ(model.rowCount(), 3);

    // Only the label edits.
    EXPECT_FALSE(model.setData(model.index(0, plovex::CaptureListModel::XMean), "9"));
    EXPECT_TRUE(model.setData(model.index(1, plovex::CaptureListModel::Label), QStringLiteral("pier 3,\teast")));
    EXPECT_EQ(model.data(model.index(1, plovex::CaptureListModel::Label)).toString(), QStringLiteral("pier 3,\teast"));

    const struct {
        std::vector<int> rows;
        std::vector<std::string> csv, copied;
    } cases[] = {
        {{}, {"a", "\"pier 3,\teast\"", "c"}, {"a", "pier 3, east", "c"}},
        {{2, 0, 2}, {"a", "c"}, {"a", "c"}},
        {{1, 7}, {"\"pier 3,\teast\""}, {"pier 3, east"}},
    };
    for (const auto& c : cases) {
        const std::string csv = model.csv(c.rows);
        EXPECT_EQ(csv.substr(0, csv.find('\n')), plovex::record::capturedCsvHeader(plovex::board::TiltUnit::Degrees, true).substr(0, csv.find('\n')));
        EXPECT_EQ(labelsIn(csv, ','), c.csv) << csv;
        const std::string copied = model.tabSeparated(c.rows);
        EXPECT_EQ(copied.substr(0, 11), "time\tlabel\t");
        EXPECT_EQ(labelsIn(copied, '\t'), c.copied) << copied;
    }

    EXPECT_TRUE(model.removeRows(0, 1));
    EXPECT_FALSE(model.removeRows(2, 1));
    EXPECT_EQ(labelsIn(model.csv(), ','), (std::vector<std::string>{"\"pier 3,\teast\"", "c"}));
    EXPECT_EQ(model.data(model.index(0, plovex::CaptureListModel::XMean)).toString(), QStringLiteral("1.10")); // 200 counts
}
