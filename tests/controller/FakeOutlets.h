#pragma once
// Recording stand-ins for the window's controls. Every call the controller
// makes lands, in order, in one shared journal, so a test can check both
// what was shown and in which order.

#include "controller/Outlets.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace controllertest {

using namespace plovex;

struct Journal {
    std::vector<std::string> calls;
    void add(std::string call) { calls.push_back(std::move(call)); }
    bool contains(const std::string& prefix) const
    {
        return std::any_of(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    }
};

// A float as its shortest exact decimal.
inline std::string exact(float value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", static_cast<double>(value));
    return buf;
}

// Base of the fakes: a name and the journal it writes to.
class Recorder {
public:
    Recorder(Journal& journal, std::string name) : journal_(journal), name_(std::move(name)) {}

protected:
    void log(const std::string& call) const { journal_.add(name_ + "." + call); }

private:
    Journal& journal_;
    std::string name_;
};

class FakeTextField : public TextFieldOutlet, Recorder {
public:
    using Recorder::Recorder;
    void setStringValue(const std::string& value) override { text = value; log("setStringValue(" + value + ")"); }
    void setIntValue(int value) override { text = std::to_string(value); log("setIntValue(" + text + ")"); }
    // The leading integer of the text, as a text field reads it.
    int intValue() const override
    {
        return static_cast<int>(std::clamp<long long>(std::strtoll(text.c_str(), nullptr, 10), INT_MIN, INT_MAX));
    }
    void setTextColor(Color c) override
    {
        color = c;
        log(std::string("setTextColor(") +
            (c == Color::greenColor() ? "green" : c == Color::redColor() ? "red" : "other") + ")");
    }

    std::string text;
    std::optional<Color> color;
};

class FakeReadout : public FloatReadoutOutlet, Recorder {
public:
    using Recorder::Recorder;
    void setFloatValue(float value) override { values.push_back(value); log("setFloatValue(" + exact(value) + ")"); }

    std::vector<float> values;
};

class FakeGauge : public GaugeOutlet, Recorder {
public:
    FakeGauge(Journal& journal, std::string name, Rect bounds) : Recorder(journal, std::move(name)), bounds_(bounds) {}
    void setAngle(float degrees) override { angle_ = degrees; log("setAngle(" + exact(degrees) + ")"); }
    float angle() const { return angle_; }
    Rect bounds() const override { log("bounds"); return bounds_; }
    void setNeedsDisplayInRect(Rect r) override
    {
        marked.push_back(r);
        log("setNeedsDisplayInRect(" + exact(r.x) + "," + exact(r.y) + "," + exact(r.width) + "," + exact(r.height) +
            ")");
    }

    std::vector<Rect> marked;

private:
    Rect bounds_;
    float angle_ = 0.0f;
};

class FakeTable : public TableViewOutlet, Recorder {
public:
    explicit FakeTable(Journal& journal) : Recorder(journal, "parameterTable") {}
    void reloadData() override { ++reloads; log("reloadData"); }
    int selectedRow() const override { return selected; }

    int reloads = 0;
    int selected = -1;
};

class FakeMenu : public PopUpMenuOutlet, Recorder {
public:
    explicit FakeMenu(Journal& journal) : Recorder(journal, "serialPortMenu") {}
    void removeAllItems() override { items.clear(); selected = -1; log("removeAllItems"); }
    void insertItemWithTitle(const std::string& title, int index) override
    {
        const auto at = std::min(static_cast<std::size_t>(std::max(index, 0)), items.size());
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), title);
        log("insertItemWithTitle(" + title + "," + std::to_string(index) + ")");
    }
    int indexOfSelectedItem() const override { log("indexOfSelectedItem"); return selected; }
    bool hasItemWithTitle(const std::string& title) const override
    {
        return std::find(items.begin(), items.end(), title) != items.end();
    }
    void selectItemWithTitle(const std::string& title) override
    {
        if (const auto it = std::find(items.begin(), items.end(), title); it != items.end())
            selected = static_cast<int>(it - items.begin());
        log("selectItemWithTitle(" + title + ")");
    }

    std::vector<std::string> items;
    int selected = -1;
};

class FakeWindow : public WindowOutlet, Recorder {
public:
    explicit FakeWindow(Journal& journal) : Recorder(journal, "prefsWindow") {}
    void makeKeyAndOrderFront() override { ++shown; log("makeKeyAndOrderFront"); }

    int shown = 0;
};

// Answers every alert with the scripted button.
class FakeAlert : public AlertOutlet, Recorder {
public:
    explicit FakeAlert(Journal& journal) : Recorder(journal, "alert") {}
    int runModal(const AlertText& alert) override { shown.push_back(alert); log("runModal"); return answer; }

    int answer = 0;
    std::vector<AlertText> shown;
};

} // namespace controllertest
