#pragma once

// Builds a D-Bus message from fuzz input, for the readers of what
// NetworkManager answers. The input is a signature line and then the values
// in its order:
//   y b          one byte          n q    two bytes      i u    four bytes
//   x t d        eight bytes       s o g  a length byte, then the text
//   a            a count byte, then that many elements
//   v            the contents' signature as a text, then its value
//   ( ) { }      the members in order
// Values past the end of the input read as zero bytes. A text that is not
// valid for its type (a bad object path, broken UTF-8) ends the build.
//
// The message is made on a bus that is started over one end of a socket
// pair and never connected, so that sd-bus gives it a proper header, then
// sealed so that it reads like a reply that came in.

#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzz {

class TNmMessage {
 public:
  TNmMessage(const uint8_t* AData, size_t ASize) : FData(AData), FLeft(ASize) {}
  ~TNmMessage() { sd_bus_message_unref(FMessage); }

  // False when the input does not make a message.
  bool Build() {
    const void* Break = std::memchr(FData, '\n', FLeft);
    if (Break == nullptr) return false;
    const size_t Length = static_cast<const uint8_t*>(Break) - FData;
    const std::string Signature(reinterpret_cast<const char*>(FData), Length);
    FData += Length + 1;
    FLeft -= Length + 1;
    if (sd_bus_message_new_method_call(Bus(), &FMessage, "org.freedesktop.NetworkManager",
                                       "/org/freedesktop/NetworkManager", "org.freedesktop.DBus",
                                       "Reply") < 0)
      std::abort();
    const char* At = Signature.c_str();
    while (*At != 0) {
      const size_t Size = CompleteType(At);
      if (Size == 0 || !Append(std::string(At, Size), 0)) return false;
      At += Size;
    }
    return sd_bus_message_seal(FMessage, 1, 0) >= 0;
  }

  // The message read from its start again.
  sd_bus_message* Rewound() {
    if (sd_bus_message_rewind(FMessage, 1) < 0) std::abort();
    return FMessage;
  }

 private:
  static sd_bus* Bus() {
    static sd_bus* Made = [] {
      int Pair[2];
      sd_bus* New = nullptr;
      if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, Pair) != 0 || sd_bus_new(&New) < 0 ||
          sd_bus_set_fd(New, Pair[0], Pair[0]) < 0 || sd_bus_start(New) < 0)
        std::abort();
      return New;
    }();
    return Made;
  }

  // The length of the complete type at the start of ASignature; 0 for none.
  static size_t CompleteType(const char* ASignature, int ADepth = 0) {
    if (ADepth > 32) return 0;
    switch (*ASignature) {
      case 'y':
      case 'b':
      case 'n':
      case 'q':
      case 'i':
      case 'u':
      case 'x':
      case 't':
      case 'd':
      case 's':
      case 'o':
      case 'g':
      case 'v':
        return 1;
      case 'a': {
        const size_t Element = CompleteType(ASignature + 1, ADepth + 1);
        return Element == 0 ? 0 : 1 + Element;
      }
      case '(':
      case '{': {
        const char Close = *ASignature == '(' ? ')' : '}';
        size_t Length = 1;
        while (ASignature[Length] != Close) {
          const size_t Member = CompleteType(ASignature + Length, ADepth + 1);
          if (Member == 0) return 0;
          Length += Member;
        }
        return Length == 1 ? 0 : Length + 1;
      }
      default:
        return 0;
    }
  }

  uint8_t Byte() {
    if (FLeft == 0) return 0;
    --FLeft;
    return *FData++;
  }

  uint64_t Bytes(int ACount) {
    uint64_t Value = 0;
    for (int I = 0; I < ACount; ++I) Value = Value << 8 | Byte();
    return Value;
  }

  std::string Text() {
    const size_t Length = std::min<size_t>(Byte(), FLeft);
    std::string Value(reinterpret_cast<const char*>(FData), Length);
    FData += Length;
    FLeft -= Length;
    return Value;
  }

  bool Append(const std::string& AType, int ADepth) {
    if (ADepth > 16) return false;
    const char Kind = AType[0];
    switch (Kind) {
      case 'y': {
        const uint8_t Value = Byte();
        return sd_bus_message_append_basic(FMessage, Kind, &Value) >= 0;
      }
      case 'b': {
        const int Value = Byte() & 1;
        return sd_bus_message_append_basic(FMessage, Kind, &Value) >= 0;
      }
      case 'n':
      case 'q': {
        const uint16_t Value = static_cast<uint16_t>(Bytes(2));
        return sd_bus_message_append_basic(FMessage, Kind, &Value) >= 0;
      }
      case 'i':
      case 'u': {
        const uint32_t Value = static_cast<uint32_t>(Bytes(4));
        return sd_bus_message_append_basic(FMessage, Kind, &Value) >= 0;
      }
      case 'x':
      case 't':
      case 'd': {
        const uint64_t Value = Bytes(8);
        return sd_bus_message_append_basic(FMessage, Kind, &Value) >= 0;
      }
      case 's':
      case 'o':
      case 'g': {
        const std::string Value = Text();
        return sd_bus_message_append_basic(FMessage, Kind, Value.c_str()) >= 0;
      }
      case 'v': {
        const std::string Contents = Text();
        if (Contents.empty() || CompleteType(Contents.c_str()) != Contents.size()) return false;
        return sd_bus_message_open_container(FMessage, 'v', Contents.c_str()) >= 0 &&
               Append(Contents, ADepth + 1) && sd_bus_message_close_container(FMessage) >= 0;
      }
      case 'a': {
        const std::string Element = AType.substr(1);
        if (sd_bus_message_open_container(FMessage, 'a', Element.c_str()) < 0) return false;
        for (int Count = Byte(); Count > 0; --Count)
          if (!Append(Element, ADepth + 1)) return false;
        return sd_bus_message_close_container(FMessage) >= 0;
      }
      default: {
        const std::string Members = AType.substr(1, AType.size() - 2);
        if (sd_bus_message_open_container(FMessage, Kind == '(' ? 'r' : 'e', Members.c_str()) < 0)
          return false;
        for (const char* At = Members.c_str(); *At != 0;) {
          const size_t Size = CompleteType(At);
          if (!Append(std::string(At, Size), ADepth + 1)) return false;
          At += Size;
        }
        return sd_bus_message_close_container(FMessage) >= 0;
      }
    }
  }

  const uint8_t* FData;
  size_t FLeft;
  sd_bus_message* FMessage = nullptr;
};

}  // namespace fuzz
