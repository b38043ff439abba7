#include "app/AlbumSet.h"

#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/FileMove.h"
#include "util/PlistVariant.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace {

const QString& titlesKey() {
    static const QString key = QStringLiteral("AlbumSetTitles");
    return key;
}

const QString& dicsKey() {
    static const QString key = QStringLiteral("AlbumSetDics");
    return key;
}

void notSetFile() {
    Log::outputLn(QStringLiteral("アルバム商品セットのファイルではありません"));
    Tool::beep(QStringLiteral("Basso"));
    Tool::alertWithMsg(QStringLiteral("このファイルは読み込めません"),
                       QStringLiteral("アルバム商品セットのファイルではありません"));
}

void mergeFailed(const QString& name, const QString& reason) {
    Log::outputLn(QStringLiteral("セット読み込み例外エラー（%1: %2）").arg(name, reason));
    Tool::beep(QStringLiteral("Basso"));
    Tool::alertWithMsg(QStringLiteral("読み込み中に予期しないエラーが発生しました"),
                       QStringLiteral("アルバム商品セットの読み込みはキャンセルされました。"));
}

// Every entry is an album record; the index of the first one that is not, or none.
std::optional<qsizetype> firstNonRecord(const QVariantList& dics) {
    for (qsizetype i = 0; i < dics.size(); ++i) {
        if (dics[i].typeId() != QMetaType::QVariantMap) {
            return i;
        }
    }
    return std::nullopt;
}

QVariantList toList(const QStringList& titles) {
    QVariantList list;
    for (const QString& title : titles) {
        list.append(title);
    }
    return list;
}

} // namespace

QStringList AlbumSet::titles() {
    QStringList list;
    for (const QVariant& title : UserDef::arrayForKey(titlesKey()).value_or(QVariantList())) {
        list.append(title.toString());
    }
    return list;
}

QVariantList AlbumSet::dics() {
    return UserDef::arrayForKey(dicsKey()).value_or(QVariantList());
}

void AlbumSet::store(const QStringList& titles, const QVariantList& dics) {
    UserDef::setObject(toList(titles), titlesKey());
    UserDef::setObject(dics, dicsKey(), true);
}

bool AlbumSet::isAlbumSetTitleNG(const QString& name) {
    return titles().contains(name);
}

void AlbumSet::addAlbumSet(const QString& name, const QVariantMap& albumDic) {
    QStringList t = titles();
    QVariantList d = dics();
    t.append(name);
    d.append(albumDic);
    store(t, d);
}

void AlbumSet::modAlbumSetName(const QString& name, int index) {
    QStringList t = titles();
    if (index >= 0 && index < t.size()) {
        t[index] = name;
        UserDef::setObject(toList(t), titlesKey(), true);
    }
}

void AlbumSet::delAlbumSet(int index) {
    QStringList t = titles();
    QVariantList d = dics();
    if (index >= 0 && index < t.size()) {
        t.removeAt(index);
    }
    if (index >= 0 && index < d.size()) {
        d.removeAt(index);
    }
    store(t, d);
}

std::optional<QVariantMap> AlbumSet::albumSetDic(int index) {
    const QVariantList d = dics();
    if (index < 0 || index >= d.size() || d[index].typeId() != QMetaType::QVariantMap) {
        return std::nullopt;
    }
    return d[index].toMap();
}

bool AlbumSet::isAlbumSetOld(const QVariantList& dics) {
    for (const QVariant& dic : dics) {
        if (!dic.toMap().contains(SettingsKey::AlOptoinArray)) {
            Log::outputLn(QStringLiteral("isAlbumSetOld=YES"));
            return true;
        }
    }
    return false;
}

QVariant AlbumSet::oneAlbumSetConvert(const QVariant& dic) {
    if (dic.typeId() != QMetaType::QVariantMap) {
        return dic;
    }
    QVariantMap copy = dic.toMap();
    if (copy.contains(SettingsKey::AlAlbumPop)) {
        copy.insert(SettingsKey::AlAlbumPop, copy.value(SettingsKey::AlAlbumPop)
                                                 .toString()
                                                 .replace(QStringLiteral("ウェディングアルバム"),
                                                          QStringLiteral("婚礼デザインアルバム")));
    }
    return copy;
}

QVariantList AlbumSet::albumSetConvert(const QVariantList& dics) {
    QVariantList converted;
    for (const QVariant& dic : dics) {
        converted.append(oneAlbumSetConvert(dic));
    }
    return converted;
}

// --- Files ---

QString AlbumSet::bkAlbumSetPath() {
    return WorkFolder::workFolderPath() + QStringLiteral("/_bk_AlbumSet.plist");
}

QString AlbumSet::bkOldAlbumSetPath() {
    return WorkFolder::workFolderPath() + QStringLiteral("/_bk_OldAlbumSet.plist");
}

QString AlbumSet::bkDamagedAlbumSetPath() {
    return WorkFolder::workFolderPath() + QStringLiteral("/_bk_DamagedAlbumSet.plist");
}

QVariantMap AlbumSet::storedSetFileContent() {
    const auto t = UserDef::arrayForKey(titlesKey());
    const auto d = UserDef::arrayForKey(dicsKey());
    if (!t || !d) {
        return {};
    }
    return {{QStringLiteral("TitleArray"), *t}, {QStringLiteral("DicArray"), *d}};
}

bool AlbumSet::writeSetFile(const QString& path, const QVariantMap& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray data = plistXmlFromVariant(content);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit()) {
        // The commit synced the bytes and renamed them into place; the new name is synced too.
        orbel::syncFolder(QFileInfo(path).absolutePath());
        return true;
    }
    Log::outputLn(QStringLiteral("アルバムセットのファイルを書き込めません（%1: %2）")
                      .arg(path, file.errorString()));
    return false;
}

bool AlbumSet::exportAlbumSetToFilePath(const QString& path) {
    if (writeSetFile(path, storedSetFileContent())) {
        return true;
    }
    Tool::beep(QStringLiteral("Basso"));
    Tool::alertWithMsg(
        QStringLiteral("アルバムセットを書き出せませんでした"),
        QStringLiteral("%1\nに書き込めませんでした。保存先を確かめてください。").arg(path));
    return false;
}

bool AlbumSet::bkExportAlbumSet() {
    if (writeSetFile(bkAlbumSetPath(), storedSetFileContent())) {
        return true;
    }
    Tool::beep(QStringLiteral("Basso"));
    Tool::alertWithMsg(QStringLiteral("アルバムセットのバックアップを作成できませんでした"),
                       QStringLiteral("%1\nに書き込めなかったため、読み込みを中止しました。")
                           .arg(bkAlbumSetPath()));
    return false;
}

void AlbumSet::exportAlbumSet() {
    const std::optional<QString> chosen = Tool::saveFileSelect(
        QStringLiteral("アルバムセットの書き出し"), QDir::homePath(), QStringLiteral("名称未設定"));
    if (!chosen || chosen->isEmpty()) {
        return;
    }
    QString path = *chosen;
    if (!path.endsWith(QStringLiteral(".plist"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".plist");
    }
    // The chooser leaves the question of an existing file to us: ".plist" may have been added.
    if (!Tool::confirmReplaceFile(path)) {
        return;
    }
    Log::outputLn(QStringLiteral("アルバムセット書き出し: %1").arg(path));
    exportAlbumSetToFilePath(path);
}

std::optional<AlbumSet::SetFile> AlbumSet::readSetFile(const QString& path) {
    QFile file(path);
    PlistRead read;
    if (file.open(QIODevice::ReadOnly)) {
        read = plistReadData(file.readAll());
    }
    // A list that would swell past any set file's size (shared references, a cycle) is no set
    // file, whatever it claims to hold.
    if (read.overBudget) {
        Log::outputLn(QStringLiteral("展開すると大きすぎるプロパティリストのため読み込まない（%1）")
                          .arg(path));
        notSetFile();
        return std::nullopt;
    }
    const std::optional<QVariant>& plist = read.value;
    if (!plist || plist->typeId() != QMetaType::QVariantMap) {
        Log::outputLn(QStringLiteral("有効な情報を入ってないファイルです"));
        Tool::beep(QStringLiteral("Basso"));
        Tool::alertWithMsg(QStringLiteral("このファイルは読み込めません"),
                           QStringLiteral("有効な情報を入ってないファイルです"));
        return std::nullopt;
    }
    const QVariantMap content = plist->toMap();
    const QVariant titleArray = content.value(QStringLiteral("TitleArray"));
    const QVariant dicArray = content.value(QStringLiteral("DicArray"));
    if (titleArray.typeId() != QMetaType::QVariantList ||
        dicArray.typeId() != QMetaType::QVariantList) {
        notSetFile();
        return std::nullopt;
    }
    SetFile set;
    for (const QVariant& title : titleArray.toList()) {
        if (title.typeId() != QMetaType::QString) {
            notSetFile();
            return std::nullopt;
        }
        set.titles.append(title.toString());
    }
    set.dics = dicArray.toList();
    // Two lists of different length would pair names with the wrong records.
    if (set.titles.size() != set.dics.size()) {
        notSetFile();
        return std::nullopt;
    }
    if (isAlbumSetOld(set.dics)) {
        set.dics = albumSetConvert(set.dics);
    }
    return set;
}

bool AlbumSet::checkSameTitleWithTitleArray(const QStringList& imported) {
    const QStringList stored = titles();
    for (const QString& title : imported) {
        if (stored.contains(title)) {
            return true;
        }
    }
    return false;
}

bool AlbumSet::importAlbumSetJobWithTitleArray(const QStringList& importTitles,
                                               const QVariantList& importDics) {
    if (const auto bad = firstNonRecord(importDics)) {
        mergeFailed(QStringLiteral("NSInvalidArgumentException"),
                    QStringLiteral("DicArray[%1] is not a dictionary").arg(*bad));
        return false;
    }
    const auto storedTitles = UserDef::arrayForKey(titlesKey());
    const auto storedDics = UserDef::arrayForKey(dicsKey());
    if (!storedTitles || !storedDics) {
        store(importTitles, importDics);
        return true;
    }
    const QStringList before = titles();
    QStringList t = before;
    QVariantList d = *storedDics;
    if (d.size() != t.size()) {
        mergeFailed(QStringLiteral("NSRangeException"),
                    QStringLiteral("AlbumSetTitles and AlbumSetDics differ in length"));
        return false;
    }
    for (qsizetype i = 0; i < importTitles.size(); ++i) {
        const QVariant record = oneAlbumSetConvert(importDics[i]);
        const qsizetype at = before.indexOf(importTitles[i]);
        if (at >= 0) {
            d[at] = record;
        } else {
            t.append(importTitles[i]);
            d.append(record);
        }
    }
    store(t, d);
    return true;
}

void AlbumSet::importAlbumSet() {
    const std::optional<QString> path = Tool::openFileSelect(
        QStringLiteral("アルバムセットの読み込み"), {QStringLiteral("アルバムセット (*.plist)")});
    if (!path || path->isEmpty()) {
        return;
    }
    Log::outputLn(QStringLiteral("アルバムセット読み込み: %1").arg(*path));
    const std::optional<SetFile> set = readSetFile(*path);
    if (!set) {
        return;
    }
    if (checkSameTitleWithTitleArray(set->titles)) {
        Tool::beep(QStringLiteral("Basso"));
        Log::outputLn(QStringLiteral("同じ名称のセットあり"));
        Tool::alertWithMsg(QStringLiteral("同じ名称のセットが含まれています。"),
                           QStringLiteral("同名のセットは重複して登録できないない為、追加を選択して"
                                          "も重複するセットは強制的に上書きとなります。"));
    }
    const int choice = Tool::alertThreeButtonWithMsg(
        QStringLiteral("読み込み状態の選択。"),
        QStringLiteral("上書きすると登録されているセットは削除されます。"), QStringLiteral("追加"),
        QStringLiteral("キャンセル"), QStringLiteral("上書き"), /*escapeButton=*/2);
    if (choice == 2) {
        Log::outputLn(QStringLiteral("キャンセル"));
        return;
    }
    if (choice == 3) {
        Log::outputLn(QStringLiteral("上書き"));
        // The stored sets are replaced: never without their backup.
        if (!bkExportAlbumSet()) {
            return;
        }
        const QVariantList converted = albumSetConvert(set->dics);
        if (const auto bad = firstNonRecord(converted)) {
            mergeFailed(QStringLiteral("NSInvalidArgumentException"),
                        QStringLiteral("DicArray[%1] is not a dictionary").arg(*bad));
            return;
        }
        store(set->titles, converted);
        return;
    }
    Log::outputLn(QStringLiteral("追加"));
    // Same-named sets are replaced by the merge, so it waits for the backup too.
    if (!bkExportAlbumSet()) {
        return;
    }
    importAlbumSetJobWithTitleArray(set->titles, set->dics);
}

// --- Start-up ---

void AlbumSet::albumSetDicCheck() {
    const auto storedTitles = UserDef::arrayForKey(titlesKey());
    const auto storedDics = UserDef::arrayForKey(dicsKey());
    if (!storedDics) {
        return;
    }
    const QVariantList d = *storedDics;
    const QVariantList t = storedTitles.value_or(QVariantList());
    const bool damaged = firstNonRecord(d).has_value() || t.size() != d.size();
    if (!damaged) {
        return;
    }
    // The damaged lists are kept as they were before anything is dropped.
    if (!writeSetFile(bkDamagedAlbumSetPath(),
                      {{QStringLiteral("TitleArray"), t}, {QStringLiteral("DicArray"), d}})) {
        Tool::alertWithMsg(
            QStringLiteral("アルバムセットのバックアップを作成できませんでした"),
            QStringLiteral("%1\nに書き込めなかったため、読めないセットもそのまま残しています。")
                .arg(bkDamagedAlbumSetPath()));
        return;
    }
    QStringList keptTitles;
    QVariantList keptDics;
    const qsizetype pairs = std::min(t.size(), d.size());
    for (qsizetype i = 0; i < std::max(t.size(), d.size()); ++i) {
        const QString title = i < t.size() ? t[i].toString() : QString();
        if (i < pairs && d[i].typeId() == QMetaType::QVariantMap) {
            keptTitles.append(title);
            keptDics.append(d[i]);
        } else {
            Log::outputLn(QStringLiteral("読めないアルバムセットを外しました（%1）").arg(title));
        }
    }
    store(keptTitles, keptDics);
}

void AlbumSet::albumSetAutoReset() {
    const auto storedDics = UserDef::arrayForKey(dicsKey());
    if (!storedDics || !isAlbumSetOld(*storedDics)) {
        return;
    }
    if (!writeSetFile(bkOldAlbumSetPath(), storedSetFileContent())) {
        Tool::alertWithMsg(
            QStringLiteral("アルバムセットのバックアップを作成できませんでした"),
            QStringLiteral("%1\nに書き込めなかったため、古い形式のセットをそのまま残しています。")
                .arg(bkOldAlbumSetPath()));
        return;
    }
    store({}, {});
}

void AlbumSet::albumSetAutoConvert() {
    const auto storedDics = UserDef::arrayForKey(dicsKey());
    if (!storedDics) {
        return;
    }
    const QVariantList converted = albumSetConvert(*storedDics);
    // Only a real change is backed up, so the reset's copy of the old sets is never replaced by
    // the emptied lists.
    if (converted == *storedDics) {
        return;
    }
    if (!writeSetFile(bkOldAlbumSetPath(), storedSetFileContent())) {
        Tool::alertWithMsg(
            QStringLiteral("アルバムセットのバックアップを作成できませんでした"),
            QStringLiteral("%1\nに書き込めなかったため、セットの変換を行いませんでした。")
                .arg(bkOldAlbumSetPath()));
        return;
    }
    UserDef::setObject(converted, dicsKey(), true);
}
