#include "SipsCommand.h"

#include <charconv>

namespace {

// libvips refuses larger images anyway.
constexpr int kMaxFitSize = 10000000;

std::optional<int> positiveIntFromText(std::string_view text, int maximum) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 1 || value > maximum) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<int> jpegQualityFromText(std::string_view text) {
    // The words name fixed qualities; "high" is what the order pipeline asks for and must be good
    // enough for prints.
    if (text == "low") {
        return 50;
    }
    if (text == "normal") {
        return 75;
    }
    if (text == "high" || text == "default") {
        return kDefaultJpegQuality;
    }
    if (text == "best") {
        return 100;
    }
    if (!text.empty() && text.back() == '%') {
        text.remove_suffix(1);
    }
    return positiveIntFromText(text, 100);
}

std::string sipsUsageText() {
    return "使い方:\n"
           "  halvix-sips -g allxml ファイル\n"
           "  halvix-sips [-s formatOptions 品質] -Z ピクセル数 元ファイル --out 出力ファイル\n"
           "品質: low, normal, high, best, または 1〜100 の数値（\"85%\" も可）\n";
}

SipsParseResult parseSipsCommandLine(const std::vector<std::string>& args) {
    SipsCommand command;
    bool wantProperties = false;
    bool wantFit = false;
    std::optional<int> quality;
    std::vector<std::string> files;
    bool optionsEnded = false;

    const auto fail = [](std::string message) {
        return SipsParseResult{std::nullopt, std::move(message)};
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-g" || arg == "--getProperty") {
            if (!hasValue) {
                return fail(arg + " の後にプロパティ名がありません");
            }
            const std::string& key = args[++i];
            if (key != "allxml") {
                return fail("未対応のプロパティです: " + key);
            }
            wantProperties = true;
        } else if (arg == "-s" || arg == "--setProperty") {
            if (i + 2 >= args.size()) {
                return fail(arg + " の後にプロパティ名と値が必要です");
            }
            const std::string& key = args[++i];
            const std::string& value = args[++i];
            if (key == "formatOptions") {
                quality = jpegQualityFromText(value);
                if (!quality) {
                    return fail("品質の指定が正しくありません: " + value);
                }
            } else if (key == "format") {
                if (value != "jpeg" && value != "jpg") {
                    return fail("出力形式は jpeg のみ対応しています: " + value);
                }
            } else {
                return fail("未対応のプロパティです: " + key);
            }
        } else if (arg == "-Z" || arg == "--resampleHeightWidthMax") {
            if (!hasValue) {
                return fail(arg + " の後にピクセル数がありません");
            }
            const auto size = positiveIntFromText(args[++i], kMaxFitSize);
            if (!size) {
                return fail("ピクセル数の指定が正しくありません: " + args[i]);
            }
            command.fitSize = *size;
            wantFit = true;
        } else if (arg == "-o" || arg == "--out") {
            if (!hasValue) {
                return fail(arg + " の後に出力先がありません");
            }
            command.outputPath = args[++i];
            if (command.outputPath.empty()) {
                return fail("出力先が空です");
            }
        } else {
            return fail("未対応のオプションです: " + arg);
        }
    }

    if (wantProperties == wantFit) {
        return fail(wantFit ? "-g と -Z は同時に指定できません" : "処理の指定がありません");
    }
    if (files.size() != 1) {
        return fail(files.empty() ? "画像ファイルの指定がありません"
                                  : "画像ファイルは1つだけ指定してください");
    }
    command.sourcePath = files.front();
    if (wantProperties) {
        command.action = SipsCommand::Action::GetProperties;
        return {command, {}};
    }
    if (command.outputPath.empty()) {
        // Writing back over the original photo is never what the caller wants.
        return fail("--out で出力先を指定してください（元ファイルは上書きしません）");
    }
    command.action = SipsCommand::Action::FitToJpeg;
    command.quality = quality.value_or(kDefaultJpegQuality);
    return {command, {}};
}
