// The tracing build's writer: one JSON object per line into the file that
// SKYLARK_TRACE names (the format is docs/trace-format.md). Only the tracing
// build compiles this. Nothing here fails a call: a line that cannot be built
// or written is dropped, and a file that refuses a write ends the trace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace skylark::trace {

// The format's name and version in the first line of every trace.
inline constexpr const char* kFormatName = "skylark-trace";
inline constexpr const char* kFormatVersion = "1.0";

// Whether this process writes a trace (SKYLARK_TRACE named a file that
// opened). Asked before any work is done for a line.
bool active();

// The members of one line after "n" and "t", which the writer adds. Each
// member is a key and one value; values that cannot be stored in JSON as
// they are (non-finite numbers, bytes) have a documented text form.
class Line {
public:
    explicit Line(const char* event);

    Line& key(const char* name);
    Line& number(std::int64_t v);
    Line& unsignedNumber(std::uint64_t v);
    Line& real(double v);                           // a date or a double result
    Line& text(const char* s, std::size_t max);      // at most max characters, or up to the NUL
    Line& bytes(const std::uint8_t* p, std::size_t n);  // upper-case hex
    Line& null();
    Line& boolean(bool v);
    Line& raw(const char* json);                    // a value already in JSON form
    Line& beginObject(const char* name);             // "name":{
    Line& endObject();

    bool ok() const { return ok_; }
    const std::string& body() const { return s_; }

private:
    void separator();
    template <class F>
    Line& guarded(F f);

    std::string s_;
    bool first_ = true;  // no member yet at this level
    bool ok_ = true;
};

// Writes the line, numbered and stamped, to the trace.
void emit(const Line& line);

// The export call the calling thread is in (0 outside every call), so each
// ClockLink and RingReader line names the call it belongs to.
std::uint32_t currentCall();

// The calling thread's number in the trace, from 1 in order of first use.
std::uint32_t threadNumber();

// One export call: numbered at entry; the call's lines carry its number.
class ExportCall {
public:
    explicit ExportCall(const char* exportName);
    ~ExportCall();
    ExportCall(const ExportCall&) = delete;
    ExportCall& operator=(const ExportCall&) = delete;

    // Whether the call is traced; the line is there only then.
    explicit operator bool() const { return line_.has_value(); }
    Line& line() { return *line_; }
    void finish();

private:
    std::optional<Line> line_;
    std::uint32_t previous_ = 0;
};

}  // namespace skylark::trace
