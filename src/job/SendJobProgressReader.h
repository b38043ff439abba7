#pragma once

#include <QByteArray>
#include <optional>

// Reads the progress meter that curl writes to its standard error with "--progress-bar": one
// "\r####    12.3%" line per update (at most ten a second, always one at 100 %), a line feed at
// the end. The bytes sent are that percentage of the file's size, so the figure is what really
// went out, unlike the length of a protocol trace. Chunks may split a line anywhere.
class SendJobProgressReader {
public:
    explicit SendJobProgressReader(double totalBytes);

    // Takes the next chunk of standard error; the latest percentage the chunk completed, or none
    // when it completed no meter line (an error text, half a line).
    std::optional<double> feed(const QByteArray& chunk);

    double percent() const { return percent_; } // 0 to 100, latest seen
    double bytesSent() const;                   // percent of the total size, in bytes
    bool hasProgress() const { return seen_; }  // at least one meter line was read

private:
    static std::optional<double> parseLine(const QByteArray& line);

    double totalBytes_;
    double percent_ = 0;
    bool seen_ = false;
    QByteArray pending_;       // the unfinished last line
    bool pendingRead_ = false; // ... already read (it ended in "%")
};
