// SHA-256 (FIPS 180-4) of a byte stream, for the checksum manifest of exports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, std::size_t size);
  // The digest as 64 lower-case hexadecimal digits; the object is spent.
  std::string HexDigest();

 private:
  void Block(const std::uint8_t* block);

  std::uint32_t state_[8];
  std::uint8_t buffer_[64];
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes hashed
};

// The SHA-256 of a whole file, read in pieces; false when it cannot be read.
bool Sha256OfFile(const char* path, std::string* hex);
