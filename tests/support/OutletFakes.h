#pragma once
// Stand-ins for the window's controls that note what the controller does to
// them, for the controller's suites and for a window whose confirmation is
// answered by the test.

#include "controller/Outlets.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace testsupport::fake {

using namespace plovex;

struct Field : TextFieldOutlet {
    void setStringValue(const std::string& v) override { text = v; }
    void setIntValue(int v) override { text = std::to_string(v); }
    int intValue() const override { return static_cast<int>(std::strtol(text.c_str(), nullptr, 10)); }
    void setTextColor(Color c) override { color = c; }
    std::string text;
    std::optional<Color> color;
};
struct Readout : FloatReadoutOutlet {
    void setFloatValue(float v) override { value = v, noValue = false; }
    void setNoValue() override { noValue = true; }
    float value = -1000.0f;
    bool noValue = false;
};
struct Gauge : GaugeOutlet {
    explicit Gauge(Rect b) : box(b) {}
    void setAngle(float degrees) override { at = degrees; }
    float angle() const { return at; }
    Rect bounds() const override { return box; }
    void setNeedsDisplayInRect(Rect r) override { marked.push_back(r); }
    void setStale(bool s) override { stale = s; }
    Rect box;
    float at = 0.0f;
    bool stale = false;
    std::vector<Rect> marked;
};
struct Table : TableViewOutlet {
    void reloadData() override { ++reloads; }
    int selectedRow() const override { return selected; }
    int reloads = 0, selected = -1;
};
struct Menu : PopUpMenuOutlet {
    void removeAllItems() override { items.clear(), selected = -1; }
    void insertItemWithTitle(const std::string& t, int i) override { items.insert(items.begin() + i, t); }
    int indexOfSelectedItem() const override { return selected; }
    bool hasItemWithTitle(const std::string& t) const override { return index(t) >= 0; }
    void selectItemWithTitle(const std::string& t) override { selected = index(t); }
    int index(const std::string& t) const
    {
        const auto it = std::find(items.begin(), items.end(), t);
        return it == items.end() ? -1 : static_cast<int>(it - items.begin());
    }
    std::vector<std::string> items;
    int selected = -1;
};
struct Window : WindowOutlet {
    void makeKeyAndOrderFront() override { ++shown; }
    int shown = 0;
};
// Answers every question with answer (1: the default button) and keeps what was asked.
struct Alert : AlertOutlet {
    int runModal(const AlertText& a) override { return shown.push_back(a), answer; }
    int answer = 0;
    std::vector<AlertText> shown;
};

} // namespace testsupport::fake
