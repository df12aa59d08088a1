#pragma once
// What the controller needs of the window's controls. The desktop
// application implements these with Qt widgets (app/); tests implement them
// with recording fakes. No widget code lives on this side.

#include <string>

namespace plovex {

struct Color {
    float red, green, blue, alpha;
    static constexpr Color greenColor() { return {0.0f, 1.0f, 0.0f, 1.0f}; }
    static constexpr Color redColor() { return {1.0f, 0.0f, 0.0f, 1.0f}; }
    bool operator==(const Color&) const = default;
};

// Where a parameter's shown value stands.
enum class ParameterState {
    NotRead,  // not read since the link came up: the last known value, or none
    Current,  // read from the board since the link last came up
    Waiting,  // written; waiting for the board's read-back
    NotTaken, // read back after a write, holding another value
    NoAnswer, // written, and not read back in time
};

// A rectangle in a view's own coordinates (origin at the lower left, y up).
struct Rect {
    float x, y, width, height;
    bool operator==(const Rect&) const = default;
};

class TextFieldOutlet {
public:
    virtual ~TextFieldOutlet() = default;
    virtual void setStringValue(const std::string& text) = 0;
    virtual void setIntValue(int value) = 0;
    // The field's text read as an integer (leading integer part; 0 when there is none).
    virtual int intValue() const = 0;
    virtual void setTextColor(Color color) = 0;
};

class FloatReadoutOutlet {
public:
    virtual ~FloatReadoutOutlet() = default;
    virtual void setFloatValue(float value) = 0;
    // Shows that there is no current value (a dash, greyed) until the next
    // setFloatValue. A readout that cannot show this keeps its last number.
    virtual void setNoValue() {}
};

class GaugeOutlet {
public:
    virtual ~GaugeOutlet() = default;
    virtual void setAngle(float degrees) = 0; // stores only
    virtual Rect bounds() const = 0;
    virtual void setNeedsDisplayInRect(Rect rect) = 0;
    // Greys the needle (it stays where it is) while the angle is not current.
    virtual void setStale(bool /*stale*/) {}
};

class TableViewOutlet {
public:
    virtual ~TableViewOutlet() = default;
    virtual void reloadData() = 0;
    virtual int selectedRow() const = 0; // -1 when none
};

class PopUpMenuOutlet {
public:
    virtual ~PopUpMenuOutlet() = default;
    virtual void removeAllItems() = 0;
    virtual void insertItemWithTitle(const std::string& title, int index) = 0;
    virtual int indexOfSelectedItem() const = 0; // -1 when none
    // Whether an item carries exactly this title (letter case counts).
    virtual bool hasItemWithTitle(const std::string& title) const = 0;
    virtual void selectItemWithTitle(const std::string& title) = 0;
};

class WindowOutlet {
public:
    virtual ~WindowOutlet() = default;
    // Shows the window in front of the others, with the keyboard focus; returns at once.
    virtual void makeKeyAndOrderFront() = 0;
};

struct AlertText {
    std::string messageText;     // "Write to EEPROM"
    std::string defaultButton;   // "Write"
    std::string alternateButton; // "Cancel"
    // The question; a write's may end with a line of its own that gives
    // the board's current value.
    std::string informativeText;
};

class AlertOutlet {
public:
    virtual ~AlertOutlet() = default;
    // Shows the alert modally; 1 for the default button, 0 for the alternate.
    virtual int runModal(const AlertText& alert) = 0;
};

// The Write button's side of the controller: whether the link lets a write
// through, and if not, why (for its tooltip).
class WriteGateOutlet {
public:
    virtual ~WriteGateOutlet() = default;
    virtual void setWriteAllowed(bool allowed, const std::string& reason) = 0;
};

// The twelve outlets the window connects before awakeFromNib (plus the
// alert presenter). All must be set; the controller never assigns them.
struct ControllerOutlets {
    FloatReadoutOutlet* Temperature = nullptr;
    GaugeOutlet* Xgauge = nullptr;
    FloatReadoutOutlet* XvalueItem = nullptr;
    GaugeOutlet* Ygauge = nullptr;
    FloatReadoutOutlet* YvalueItem = nullptr;
    TableViewOutlet* parameterTable = nullptr;
    TextFieldOutlet* selectedParameterDescription = nullptr;
    TextFieldOutlet* selectedParameterNumber = nullptr;
    TextFieldOutlet* valueToWrite = nullptr;
    TextFieldOutlet* commStateItem = nullptr;
    PopUpMenuOutlet* serialPortMenu = nullptr;
    WindowOutlet* prefsWindow = nullptr;
    AlertOutlet* alert = nullptr;
    // Optional: left empty, what they would show is not shown.
    TextFieldOutlet* statusLine = nullptr;  // one-line messages (written, not taken, port absent)
    TextFieldOutlet* portProblem = nullptr; // why the port does not open; "" when it does
    WriteGateOutlet* writeGate = nullptr;
};

} // namespace plovex
