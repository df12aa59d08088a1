#include "cli/SecretFile.h"

#include "platform/RegularFile.h"

namespace plovex::cli {

bool readSecretFile(const std::string& path, const std::string& what, std::string& secret, std::string* error)
{
    std::string why;
    const auto text = platform::readRegularFile(path, 64 * 1024, &why);
    if (!text) {
        *error = "cannot read " + what + " " + why;
        return false;
    }
    secret = text->substr(0, text->find('\n'));
    if (!secret.empty() && secret.back() == '\r')
        secret.pop_back();
    if (secret.empty()) {
        *error = what + " " + path + " has nothing on its first line";
        return false;
    }
    return true;
}

} // namespace plovex::cli
