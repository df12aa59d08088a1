#pragma once
// The firmware image the board keeps from an upload.
//
// Good program blocks are stored at their block address. The first good block
// after an upload has ended starts a new, empty image. The frames carry no
// image length, so it is taken from the blocks: the image runs to the end of
// the block with the highest address, less the trailing 0x00 bytes of that
// block (the host fills the final block up with zeros; an image of a multiple
// of 64 bytes ends with a block of zeros only). An image whose own last bytes
// are 0x00 therefore comes out shorter by those bytes; the wire cannot tell
// them from the fill. When an upload ends is the board's decision (BoardCore).

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace plovex::sim {

class ImageStore {
public:
    static constexpr std::size_t kBlockSize = 64;
    static constexpr std::size_t kMaxImage = 65536;

    // Stores one good block (address a multiple of 64).
    void store(std::uint16_t address, std::span<const std::uint8_t> block);
    // Ends the upload in progress; false when none was.
    bool finish();
    bool uploading() const { return uploading_; }

    // The image as it stands, trimmed as described above.
    std::vector<std::uint8_t> image() const;

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t lastBlock_ = 0;
    bool uploading_ = false;
};

// Writes bytes to path through a temporary file in the same folder and a
// rename, so that readers see the old file or the whole new one. False, and
// the reason in *error when given, on failure.
bool writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, std::string* error);

} // namespace plovex::sim
