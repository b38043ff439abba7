#include "app/PreflightBoard.h"

#include "app/PreflightService.h"
#include "util/Tool.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {
// Files listed in the question before sending; the rest are counted.
constexpr int kNamesShown = 10;
} // namespace

PreflightBoard::PreflightBoard(PreflightService& checker, QObject* parent)
    : QObject(parent), service(checker) {
    connect(&checker, &PreflightService::factsReady, this, &PreflightBoard::factsReady);
}

PreflightBoard::~PreflightBoard() {
    service.release(rowsOfPath.keys());
}

void PreflightBoard::setRows(const QList<PreflightRow>& newRows) {
    if (newRows == rows) {
        return;
    }
    QHash<QString, QList<int>> newRowsOfPath;
    newRowsOfPath.reserve(newRows.size());
    for (int i = 0; i < newRows.size(); ++i) {
        newRowsOfPath[newRows.at(i).path].append(i);
    }
    // The board holds each file once in the service, however many rows show it.
    QStringList gone;
    for (auto it = rowsOfPath.cbegin(); it != rowsOfPath.cend(); ++it) {
        if (!newRowsOfPath.contains(it.key())) {
            gone.append(it.key());
        }
    }
    QStringList added;
    for (auto it = newRowsOfPath.cbegin(); it != newRowsOfPath.cend(); ++it) {
        if (!rowsOfPath.contains(it.key())) {
            added.append(it.key());
        }
    }
    service.release(gone);
    rows = newRows;
    rowsOfPath = std::move(newRowsOfPath);
    verdicts.assign(rows.size(), PreflightVerdict{});
    for (int i = 0; i < rows.size(); ++i) {
        judgeRow(i);
    }
    service.watch(added);
    Q_EMIT verdictsChanged();
}

void PreflightBoard::setSizeName(int row, const QString& sizeName) {
    if (row < 0 || row >= rows.size() || rows.at(row).sizeName == sizeName) {
        return;
    }
    rows[row].sizeName = sizeName;
    judgeRow(row);
    Q_EMIT verdictsChanged();
}

void PreflightBoard::judgeRow(int row) {
    const PreflightRow& r = rows.at(row);
    const std::optional<ImageHeaderFacts> facts = service.facts(r.path);
    verdicts[row] =
        facts ? PreflightJudge::judgeForSizeName(*facts, QFileInfo(r.path).fileName(), r.sizeName)
              : PreflightVerdict{};
}

void PreflightBoard::factsReady(const QStringList& paths) {
    bool changed = false;
    for (const QString& path : paths) {
        const auto it = rowsOfPath.constFind(path);
        if (it == rowsOfPath.constEnd()) {
            continue;
        }
        for (int row : *it) {
            judgeRow(row);
        }
        changed = true;
    }
    if (changed) {
        Q_EMIT verdictsChanged();
    }
}

PreflightVerdict PreflightBoard::verdictAt(int row) const {
    return row >= 0 && row < static_cast<int>(verdicts.size()) ? verdicts[row] : PreflightVerdict{};
}

int PreflightBoard::judgedCount() const {
    return static_cast<int>(std::count_if(verdicts.cbegin(), verdicts.cend(), [](const auto& v) {
        return v.level != PreflightLevel::Pending;
    }));
}

int PreflightBoard::attentionCount() const {
    return static_cast<int>(std::count_if(verdicts.cbegin(), verdicts.cend(),
                                          [](const auto& v) { return v.needsAttention(); }));
}

QString PreflightBoard::summaryText() const {
    return PreflightJudge::summaryText(static_cast<int>(warningFiles().size()), cautionFileCount());
}

QList<PreflightBoard::FileReasons> PreflightBoard::warningFiles() const {
    QList<FileReasons> files;
    QHash<QString, qsizetype> seen;
    for (int i = 0; i < rows.size(); ++i) {
        if (verdicts[i].level != PreflightLevel::Warning) {
            continue;
        }
        const QString& path = rows.at(i).path;
        auto it = seen.constFind(path);
        if (it == seen.constEnd()) {
            it = seen.insert(path, files.size());
            files.append({QFileInfo(path).fileName(), {}});
        }
        QStringList& reasons = files[*it].reasons;
        // The red reasons come first in a verdict; amber ones of a red file add nothing here.
        for (const QString& reason : verdicts[i].reasons) {
            if (!reasons.contains(reason)) {
                reasons.append(reason);
            }
        }
    }
    return files;
}

QStringList PreflightBoard::warningFileNames() const {
    QStringList names;
    for (const FileReasons& file : warningFiles()) {
        names.append(file.name);
    }
    return names;
}

int PreflightBoard::cautionFileCount() const {
    QSet<QString> red;
    QSet<QString> amber;
    for (int i = 0; i < rows.size(); ++i) {
        if (verdicts[i].level == PreflightLevel::Warning) {
            red.insert(rows.at(i).path);
        } else if (verdicts[i].level == PreflightLevel::Caution) {
            amber.insert(rows.at(i).path);
        }
    }
    return static_cast<int>(amber.subtract(red).size());
}

bool PreflightBoard::confirmSend() {
    // What is judged is what goes: a file replaced or edited since it was read is read again.
    bool judgedNow = false;
    for (auto it = rowsOfPath.cbegin(); it != rowsOfPath.cend(); ++it) {
        const bool pending = verdicts[it->first()].level == PreflightLevel::Pending;
        if (pending ? service.readNow(it.key()).has_value() : service.readNowIfChanged(it.key())) {
            for (int row : *it) {
                judgeRow(row);
            }
            judgedNow = true;
        }
    }
    if (judgedNow) {
        Q_EMIT verdictsChanged();
    }
    const QList<FileReasons> files = warningFiles();
    if (files.isEmpty()) {
        return true;
    }
    QStringList lines;
    for (qsizetype i = 0; i < std::min<qsizetype>(files.size(), kNamesShown); ++i) {
        lines.append(files.at(i).name + QStringLiteral("：") +
                     files.at(i).reasons.join(QStringLiteral("、")));
    }
    if (files.size() > kNamesShown) {
        lines.append(QStringLiteral("ほか%1枚").arg(files.size() - kNamesShown));
    }
    return Tool::alertOkNgWithMsg(
        QStringLiteral("印刷に向かない画像が%1枚あります").arg(files.size()),
        lines.join(u'\n') + QStringLiteral("\n\nこのまま送信しますか？"),
        QStringLiteral("このまま送信"), QStringLiteral("キャンセル"));
}

void PreflightBoard::recheck() {
    service.recheck(rowsOfPath.keys());
}
