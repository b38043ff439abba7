#pragma once

#include <QString>
#include <optional>

// Reads of the lab's pages and catalogues. Each is Tool::readHttp with its size limit; a body over
// the limit is refused and the refusal goes to the log.
class LabHttp {
public:
    LabHttp() = delete;

    static std::optional<QString> read(const QString& url, double timeoutInterval = 5.0);
};
