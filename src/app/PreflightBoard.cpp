#include "app/PreflightBoard.h"

#include "app/PreflightService.h"
#include "util/Tool.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {
// Names listed in the question before sending; the rest are counted.
constexpr int kNamesShown = 5;
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
    return PreflightJudge::summaryText(attentionCount());
}

QStringList PreflightBoard::warningFileNames() const {
    QStringList names;
    QSet<QString> seen;
    for (int i = 0; i < rows.size(); ++i) {
        if (verdicts[i].level == PreflightLevel::Warning) {
            const QString name = QFileInfo(rows.at(i).path).fileName();
            if (!seen.contains(name)) {
                seen.insert(name);
                names.append(name);
            }
        }
    }
    return names;
}

bool PreflightBoard::confirmSend() {
    bool judgedNow = false;
    for (int row = 0; row < rows.size(); ++row) {
        if (verdicts[row].level == PreflightLevel::Pending && service.readNow(rows.at(row).path)) {
            judgeRow(row);
            judgedNow = true;
        }
    }
    if (judgedNow) {
        Q_EMIT verdictsChanged();
    }
    const QStringList names = warningFileNames();
    if (names.isEmpty()) {
        return true;
    }
    QString list = names.mid(0, kNamesShown).join(u'\n');
    if (names.size() > kNamesShown) {
        list += QStringLiteral("\nほか%1枚").arg(names.size() - kNamesShown);
    }
    return Tool::alertOkNgWithMsg(
        QStringLiteral("印刷に問題がありそうな画像が%1枚あります").arg(names.size()),
        list + QStringLiteral("\n\n一覧の印で理由を確認できます。このまま送信しますか？"),
        QStringLiteral("このまま送信"), QStringLiteral("キャンセル"));
}

void PreflightBoard::recheck() {
    service.recheck(rowsOfPath.keys());
}
