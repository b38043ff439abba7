#pragma once

#include <QString>

// The external commands the program runs, gathered in one table so tests and the README can
// see exactly what is used.
struct ToolPaths {
    ToolPaths() = delete;
    // Our image tool: $HALVIX_SIPS, else "halvix-sips" beside the program (the build folder),
    // else <prefix>/libexec/halvix2/halvix-sips of the installed program in <prefix>/bin.
    static QString sips();
    static QString zip();   // /usr/bin/zip
    static QString unzip(); // /usr/bin/unzip
    static QString curl();  // /usr/bin/curl
    static QString ftp();   // /usr/bin/ftp
    static QString echo();  // /bin/echo
    static QString sh();    // /bin/sh
};
