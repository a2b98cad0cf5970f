// Inflating one gzip member, a step at a time: the fast inflater (ISA-L where the build
// has it, else zlib) for the bytes that are read, and zlib for a glance at the start of a
// BGZF block (ISA-L pays about the whole block's 57 us whatever part of it is asked for,
// zlib 7 us for its first 256 bytes).
#pragma once

#include <cstddef>
#include <memory>

namespace wes {

class MemberInflater {
public:
    // fast: the build's fast inflater; else zlib.
    explicit MemberInflater(bool fast = true);
    ~MemberInflater();
    MemberInflater(const MemberInflater&) = delete;
    MemberInflater& operator=(const MemberInflater&) = delete;

    // A new member begins with the next input.
    void start();
    // Inflates from in (n_in bytes) into out (n_out bytes of room): consumed and produced
    // tell how many. False when the data is corrupt (error() says how); finished() once
    // the member's trailer has been read and its checksum found right.
    bool step(const char* in, std::size_t n_in, char* out, std::size_t n_out, std::size_t& consumed,
              std::size_t& produced);
    bool finished() const { return finished_; }
    const char* error() const { return error_; }

private:
    struct State;
    std::unique_ptr<State> s_;
    bool finished_ = false;
    const char* error_ = "";
};

}  // namespace wes
