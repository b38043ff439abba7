#include "report/OrderAction.h"

#include "settings/UserDef.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <memory>
#include <mutex>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace {

const QString kDateFormatMessage = QStringLiteral("日付は『YYYY/MM/DD』の形式で入力してください");

qsizetype characterCount(const QString& text) {
    return text.toUcs4().size();
}

bool isAllSingleByte(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() > 0x7F) {
            return false;
        }
    }
    return true;
}

int numberOf(const QString& part) {
    bool ok = false;
    const int value = part.trimmed().toInt(&ok);
    return ok ? value : 0;
}

} // namespace

std::optional<QString> OrderAction::normalizedDate(const QString& text, bool* splitOk) {
    const QStringList parts = text.split(QLatin1Char('/'));
    if (splitOk != nullptr) {
        *splitOk = parts.size() == 3;
    }
    if (parts.size() != 3) {
        return std::nullopt;
    }
    const int year = numberOf(parts.at(0));
    const int month = numberOf(parts.at(1));
    const int day = numberOf(parts.at(2));
    if (year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1 || day > 31) {
        return std::nullopt;
    }
    return QStringLiteral("%1/%2/%3")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

std::optional<QString> OrderAction::orderInfoValueCheck(OrderInfo& info) {
    info.date = singleLine(info.date);
    info.name = singleLine(info.name);
    info.no = singleLine(info.no);
    std::optional<QString> failure;

    if (!info.date.isEmpty()) {
        // Digits and slashes typed in full width are read as what the studio meant.
        const QString date = fullWidthToHalfWidth(info.date);
        bool splitOk = false;
        if (const std::optional<QString> normal = normalizedDate(date, &splitOk)) {
            info.date = *normal;
        } else if (!splitOk) {
            failure = QStringLiteral("撮影日は『YYYY/MM/DD』の形式で入力してください");
        } else {
            failure = kDateFormatMessage;
        }
    }
    if (!failure && characterCount(info.name) > 10) {
        failure = QStringLiteral("お客様名は10文字以内で入力してください");
    }
    if (!info.no.isEmpty()) {
        info.no = fullWidthToHalfWidth(info.no);
        if (!failure && (info.no.size() > 10 || !isAllSingleByte(info.no))) {
            failure = QStringLiteral("管理番号は半角10文字以内で入力してください");
        }
    }
    return failure;
}

std::optional<QString> OrderAction::orderInfoCustomValueCheck(OrderInfo3465& info) {
    info.systemNo = singleLine(info.systemNo);
    // The couple's names keep their line breaks (the report writes them as "<br>"); empty lines
    // around them go.
    info.brideAndGroom.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    info.brideAndGroom.replace(u'\r', u'\n');
    info.brideAndGroom.replace(QChar(0x2028), u'\n');
    info.brideAndGroom.remove(u'\t');
    while (info.brideAndGroom.startsWith(u'\n') || info.brideAndGroom.endsWith(u'\n')) {
        info.brideAndGroom = info.brideAndGroom.startsWith(u'\n') ? info.brideAndGroom.mid(1)
                                                                  : info.brideAndGroom.chopped(1);
    }
    info.staffName = singleLine(info.staffName);
    info.deliveryDate = singleLine(info.deliveryDate);
    if (info.systemNo.isEmpty()) {
        return QStringLiteral("システムNoを入力してください");
    }
    if (info.venue.isEmpty() || info.venue == QLatin1String("-")) {
        return QStringLiteral("会場名を選択してください");
    }
    if (info.brideAndGroom.isEmpty()) {
        return QStringLiteral("新郎・新婦名を入力してください");
    }
    if (info.staffName.isEmpty()) {
        return QStringLiteral("ご担当者名を入力してください");
    }
    if (info.salon.isEmpty() || info.salon == QLatin1String("-")) {
        return QStringLiteral("サロン名を選択してください");
    }
    if (info.deliveryShown) {
        const std::optional<QString> normal =
            normalizedDate(fullWidthToHalfWidth(info.deliveryDate));
        if (!normal) {
            return QStringLiteral("最終お客様お渡し日は『YYYY/MM/DD』の形式で入力してください");
        }
        info.deliveryDate = *normal;
    }
    return std::nullopt;
}

QString OrderAction::fullWidthToHalfWidth(const QString& text) {
    // One transliterator for the run; ICU's instances are not safe for concurrent use.
    static std::mutex mutex;
    static std::unique_ptr<icu::Transliterator> transliterator;
    static bool created = false;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!created) {
        created = true;
        UErrorCode status = U_ZERO_ERROR;
        transliterator.reset(icu::Transliterator::createInstance(
            icu::UnicodeString::fromUTF8("Fullwidth-Halfwidth"), UTRANS_FORWARD, status));
        if (U_FAILURE(status)) {
            transliterator.reset();
        }
    }
    if (!transliterator) {
        return text; // without ICU's data the text stays as typed and the checks decide
    }
    icu::UnicodeString unicode(reinterpret_cast<const UChar*>(text.utf16()),
                               static_cast<int32_t>(text.size()));
    transliterator->transliterate(unicode);
    return QString(reinterpret_cast<const QChar*>(unicode.getBuffer()), unicode.length());
}

QString OrderAction::singleLine(const QString& text) {
    QString result = text;
    result.remove(QLatin1Char('\r'));
    result.remove(QLatin1Char('\n'));
    result.remove(QLatin1Char('\t'));
    return result;
}

int OrderAction::daysOfMonth(int month) {
    switch (month) {
    case 2:
        return 29;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return 31;
    }
}

QVariantMap OrderAction::orderInfoDic(const OrderInfo& info) {
    QVariantMap dic;
    if (!info.date.isEmpty()) {
        dic.insert(QStringLiteral("OrderInfoDate"), info.date);
    }
    if (!info.name.isEmpty()) {
        dic.insert(QStringLiteral("OrderInfoName"), info.name);
    }
    if (!info.no.isEmpty()) {
        dic.insert(QStringLiteral("OrderInfoNo"), info.no);
    }
    return dic;
}

QVariantMap OrderAction::orderInfo3465Dic(const OrderInfo3465& info) {
    QVariantMap dic;
    const auto put = [&dic](const char* key, const QString& value) {
        if (!value.isEmpty()) {
            dic.insert(QString::fromLatin1(key), value);
        }
    };
    put("OrderInfoSystemNo", info.systemNo);
    put("OrderInfoWeddingDateAndVenue", QStringLiteral("%1/%2/%3 %4")
                                            .arg(info.year)
                                            .arg(info.month, 2, 10, QLatin1Char('0'))
                                            .arg(info.day, 2, 10, QLatin1Char('0'))
                                            .arg(info.venue));
    put("OrderInfoBrideAndGroom", info.brideAndGroom);
    put("OrderInfoStaffName", info.staffName);
    if (info.salon != QLatin1String("-")) {
        put("OrderInfoSalon", info.salon);
    }
    if (info.deliveryShown) {
        put("OrderInfoDeliveryDate", info.deliveryDate);
    }
    return dic;
}

QVariantMap OrderAction::charInputDic(const QString& name, const QString& date) {
    QVariantMap dic;
    dic.insert(QStringLiteral("OrderCharName"), name);
    dic.insert(QStringLiteral("OrderCharDate"), date);
    return dic;
}

QString OrderAction::orderActionTypeForTag(int tag) {
    switch (tag) {
    case kTagAfterSend:
        return QStringLiteral("AcAfterSend");
    case kTagSave:
        return QStringLiteral("AcSave");
    default:
        return QStringLiteral("AcNowSend");
    }
}

int OrderAction::orderActionTagForType(const std::optional<QString>& type) {
    if (type == QStringLiteral("AcAfterSend")) {
        return kTagAfterSend;
    }
    if (type == QStringLiteral("AcSave")) {
        return kTagSave;
    }
    return kTagNowSend;
}

QString OrderAction::orderActionText(int tag) {
    switch (tag) {
    case kTagAfterSend:
        return QStringLiteral(
            "オーダーを後で一括して送信します。\n『ファイル』-『オーダーを全て送信"
            "』で送信する事ができます。");
    case kTagSave:
        return QStringLiteral("送信環境の無い方はオーダーを任意の場所に保存できます。\n保存後にDVD"
                              "などのメディアでお届けください。");
    default:
        return QStringLiteral("現在のオーダーをすぐに送信します。\nこのオーダーのみ送信されます。");
    }
}

QString OrderAction::nowSendTitle(qint64 poolCount) {
    return poolCount > 0 ? QStringLiteral("すぐに送信する（このオーダのみ送信）")
                         : QStringLiteral("すぐに送信する");
}

QString OrderAction::nextArchiveFileName() {
    return UserDef::nextZipName() + QStringLiteral(".zip");
}

QString OrderAction::savePathWithZip(const QString& chosen) {
    if (chosen.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive)) {
        return chosen;
    }
    return chosen + QStringLiteral(".zip");
}

QString OrderAction::saveFolder() {
    if (const std::optional<QString> last =
            UserDef::stringForKey(QStringLiteral("OrderSavePath"))) {
        const QString folder = QFileInfo(*last).absolutePath();
        if (!last->isEmpty() && QFileInfo(folder).isDir()) {
            return folder;
        }
    }
    return QDir::homePath();
}
