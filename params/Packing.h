#pragma once
// The configuration image and its packing: the controller's 256-byte configuration
// memory, and the conversion between it and the value fields of the parameter tree.
// Numbers are big-endian; texts travel in code page 1251.
//
// Threads: the functions are pure apart from the tree and image they are given; call
// them on the thread that owns that tree (the main thread for the window's tree).
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "params/ParamTree.h"

namespace lum {

inline constexpr std::size_t ConfigImageSize = 256;
inline constexpr std::uint8_t ErasedByte = 255;  // a byte that holds no value

// One byte per address of the configuration memory.
using ConfigImage = std::array<std::uint8_t, ConfigImageSize>;

// An image of erased memory: every byte 255.
ConfigImage ErasedImage();

// The blocks a configuration transfer moves, in order. Reading covers all 256 bytes;
// writing leaves out the motor-hours counter (0..3) and the GPRS counters and serial
// number (180..191), which have writes of their own.
// The types are those of a read or write request: a 16-bit address and an 8-bit count.
struct ImageBlock {
    std::uint16_t Address;
    std::uint8_t Count;
};
inline constexpr std::array<ImageBlock, 4> ReadBlocks = {{{0, 64}, {64, 64}, {128, 64}, {192, 64}}};
inline constexpr std::array<ImageBlock, 4> WriteBlocks = {{{4, 60}, {64, 64}, {128, 52}, {192, 64}}};
// Progress bar position after each step of a transfer.
inline constexpr std::array<int, 4> TransferProgress = {25, 50, 75, 100};

// A value that cannot be packed (not a whole number, out of its byte range, a telephone
// number that is not ten digits, a text too long or with a character outside code page
// 1251), a node that lies outside the image, or an empty tree. The message names the
// parameter and the text.
class PackError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A node that lies outside the image, or an empty tree.
class UnpackError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Sets every byte of the image to 255, then writes the value of every node, in tree
// order, at its address (a later node wins a shared byte). Group headings, read-only
// rows and kinds or sizes without an encoding write nothing. On PackError the image is
// left exactly as it was.
void PackTreeToImage(const IParamTree& tree, ConfigImage& image);

// Sets the value field of every node that has an encoding from the bytes at its address;
// other nodes keep their value. On UnpackError the tree is left exactly as it was.
void UnpackImageToTree(IParamTree& tree, const ConfigImage& image);

// The value text node `index` shows for the image (what unpacking would set), or nothing
// for a node without an encoding (group headings, kinds or sizes without one).
// UnpackError for a node that lies outside the image; std::out_of_range for a bad index.
std::optional<std::string> UnpackedValue(const IParamTree& tree, std::size_t index, const ConfigImage& image);

// The bytes of the image that node `index` takes its value from; nothing for a node
// without an encoding or whose address and size do not lie inside the image.
struct ImageRange {
    std::size_t Address;
    std::size_t Size;
};
std::optional<ImageRange> NodeImageRange(const IParamTree& tree, std::size_t index);

// The configuration memory of a controller holding the defaults of its model: erased
// memory with the model's catalogue packed into it. std::invalid_argument for a model
// code without a catalogue.
ConfigImage DefaultImageForModel(std::uint8_t modelCode);

// The unsigned 16-bit big-endian number at address and address + 1 (address below 255).
std::uint16_t ImageWord(const ConfigImage& image, std::size_t address);

}  // namespace lum
