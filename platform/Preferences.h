#pragma once
// The per-user preferences store: string values under string keys, kept in
// a small "key=value" text file in the user's XDG config folder
// ($XDG_CONFIG_HOME/plovex/plovex.conf, by default ~/.config/plovex/plovex.conf).
//
// A missing file is an empty store. An unreadable or corrupt file also reads
// as empty, with one warning on standard error; it is not overwritten until
// the user stores a value. Writing goes to a temporary file that replaces the
// old one, so a crash never leaves half a file.

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace platform {

// What the controller needs of a preferences store.
class Preferences {
public:
    virtual ~Preferences() = default;
    virtual std::optional<std::string> objectForKey(const std::string& key) const = 0;
    virtual void setObject(const std::string& value, const std::string& key) = 0;
    // Writes stored values out; false (with a message) when that failed.
    virtual bool synchronize() = 0;
};

class FilePreferences : public Preferences {
public:
    explicit FilePreferences(std::filesystem::path file);

    std::optional<std::string> objectForKey(const std::string& key) const override;
    void setObject(const std::string& value, const std::string& key) override;
    bool synchronize() override;

    const std::filesystem::path& file() const { return file_; }
    // The warning given when the file was unreadable or corrupt, else empty.
    const std::string& loadWarning() const { return warning_; }

    // $XDG_CONFIG_HOME/plovex/plovex.conf, or $HOME/.config/plovex/plovex.conf.
    static std::filesystem::path defaultFile();
    // The user's store at the default location, loaded once.
    static FilePreferences& standardUserDefaults();

private:
    void load();

    std::filesystem::path file_;
    std::map<std::string, std::string> values_;
    std::string warning_;
    bool dirty_ = false;
};

// Parses the file's text. Returns nullopt (and the reason) when it is not a
// valid preferences file. Exposed for tests and fuzzing.
std::optional<std::map<std::string, std::string>> parsePreferences(const std::string& text, std::string* error);
std::string formatPreferences(const std::map<std::string, std::string>& values);

} // namespace platform
