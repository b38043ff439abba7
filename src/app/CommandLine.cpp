#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <cstdio>

namespace {

// Options QGuiApplication and QApplication take out of the arguments themselves; the session
// manager restarts the program with -session, a user may give -platform or -style.
const QStringList kQtValueOptions = {
    QStringLiteral("platform"),
    QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"),
    QStringLiteral("geometry"),
    QStringLiteral("qwindowicon"),
    QStringLiteral("icon"),
    QStringLiteral("qwindowtitle"),
    QStringLiteral("title"),
    QStringLiteral("session"),
    QStringLiteral("display"),
    QStringLiteral("name"),
    QStringLiteral("style"),
    QStringLiteral("stylesheet"),
    QStringLiteral("qmljsdebugger"),
    QStringLiteral("visual"),
    QStringLiteral("ncols"),
    QStringLiteral("cmap"),
};
const QStringList kQtFlagOptions = {
    QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
    QStringLiteral("dograb"),  QStringLiteral("sync"),        QStringLiteral("testability"),
};

// FotoFusion's two launch arguments, each followed by a path.
const QStringList kFotoFusionOptions = {QStringLiteral("manifest"), QStringLiteral("archive")};

QString optionName(const QString& argument) {
    QString name = argument;
    while (name.startsWith(QLatin1Char('-'))) {
        name.remove(0, 1);
    }
    return name.section(QLatin1Char('='), 0, 0);
}

QString helpText() {
    return QStringLiteral(
        "使い方: halvix2 [オプション]\n"
        "HALVIX 2: 写真の注文をラボへ送信するプログラムです。\n"
        "\n"
        "オプション:\n"
        "  -h, --help          この使い方を表示して終了します\n"
        "  -v, --version       バージョンを表示して終了します\n"
        "  -manifest パス      FotoFusion のマニフェスト（-archive "
        "と組でアルバムの注文を開きます）\n"
        "  -archive パス       FotoFusion のアーカイブ\n"
        "\n"
        "環境変数:\n"
        "  HALVIX_LAB_CONF     ラボのサーバー設定（lab.conf）のパス\n"
        "  HALVIX_UNATTENDED   空でなければ警告を標準エラーに書き、既定のボタンで答えます\n"
        "  HALVIX_WORK_AREA    作業フォルダの場所（絶対パス。既定は ~/MVL_WorkArea）\n"
        "  XDG_CONFIG_HOME     設定フォルダの親（既定は ~/.config）\n"
        "\n"
        "ファイル:\n"
        "  ~/.config/halvix2/settings.plist   設定\n"
        "  ~/.config/halvix2/lab.conf         ラボのサーバー設定\n"
        "  ~/MVL_WorkArea                     作業フォルダ（ログ、注文プール、注文履歴）\n");
}

CommandLine::Answer usageError(const QString& message) {
    return {CommandLine::Action::Error,
            QStringLiteral("halvix2: %1（使い方: halvix2 --help）\n").arg(message),
            CommandLine::kExitUsage};
}

} // namespace

CommandLine::Answer CommandLine::parse(const QStringList& arguments) {
    QStringList toParse = arguments;
    // FotoFusion's arguments are read pairwise: a trailing "-manifest" without its path is
    // ignored there, so it is no mistake here either.
    while (toParse.size() > 1 && kFotoFusionOptions.contains(optionName(toParse.last())) &&
           !toParse.last().contains(QLatin1Char('='))) {
        toParse.removeLast();
    }

    QCommandLineParser parser;
    // "-manifest" is one word, as FotoFusion and Qt write their options, not "-m -a -n ...".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    for (const QString& name : kFotoFusionOptions + kQtValueOptions) {
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    }
    for (const QString& name : kQtFlagOptions) {
        parser.addOption(QCommandLineOption(name));
    }

    if (!parser.parse(toParse)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            QString given = unknown.first();
            for (const QString& argument : toParse.mid(1)) {
                if (argument.startsWith(QLatin1Char('-')) && optionName(argument) == given) {
                    given = argument.section(QLatin1Char('='), 0, 0);
                    break;
                }
            }
            return usageError(QStringLiteral("不明なオプションです: %1").arg(given));
        }
        return usageError(QStringLiteral("オプションの値が正しくありません"));
    }
    if (parser.isSet(help)) {
        return {Action::Help, helpText(), 0};
    }
    if (parser.isSet(version)) {
        return {Action::Version,
                QStringLiteral("HALVIX 2 %1\n").arg(QStringLiteral(HALVIX_VERSION)), 0};
    }
    return {};
}

std::optional<int> CommandLine::answer(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const Answer answered = parse(arguments);
    if (answered.action == Action::Run) {
        return std::nullopt;
    }
    const QByteArray text = answered.text.toUtf8();
    std::FILE* stream = answered.action == Action::Error ? stderr : stdout;
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
    std::fflush(stream);
    return answered.exitCode;
}
