#pragma once

#include <QDate>
#include <QString>
#include <QVariantMap>
#include <optional>

// The rules of the order sheets that do not need a window: the checks of the order information,
// the records they store for the report head and the job, the order action choices and the save
// path. The sheets themselves live in ui/OrderSheets.
class OrderAction {
public:
    OrderAction() = delete;

    // Order action radio tags.
    static constexpr int kTagNowSend = 301;
    static constexpr int kTagAfterSend = 302;
    static constexpr int kTagSave = 303;

    // The standard order information sheet's fields, rewritten by the check.
    struct OrderInfo {
        QString date; // shooting date, "YYYY/MM/DD" once checked
        QString name; // the studio's customer name
        QString no;   // the studio's management number, half-width once checked
    };
    // The wedding group's sheet. Year, month and day come from pop-ups.
    struct OrderInfo3465 {
        QString systemNo;
        int year = 0;
        int month = 0;
        int day = 0;
        QString venue; // "-" when none chosen
        QString brideAndGroom;
        QString staffName;
        QString salon;              // "-" when none chosen
        bool deliveryShown = false; // the delivery date field is shown
        QString deliveryDate;
    };

    // The first failure's message, or none; a valid date is rewritten "%04d/%02d/%02d" and the
    // number in half-width characters, also when another field fails.
    static std::optional<QString> orderInfoValueCheck(OrderInfo& info);
    static std::optional<QString> orderInfoCustomValueCheck(OrderInfo3465& info);

    // Full-width letters, digits and signs become their half-width forms (ICU's
    // "Fullwidth-Halfwidth").
    static QString fullWidthToHalfWidth(const QString& text);
    // A sheet's one-line field: CR, LF and TAB removed.
    static QString singleLine(const QString& text);
    // Days the day pop-up offers for a month: 29 for February, 30 for April, June, September
    // and November, 31 otherwise.
    static int daysOfMonth(int month);
    // "YYYY/M/D" split at "/": the date when the year is 2000-2099, the month 1-12 and the day
    // 1-31 (not checked against the month); none otherwise. splitOk tells whether there were
    // exactly three parts.
    static std::optional<QString> normalizedDate(const QString& text, bool* splitOk = nullptr);

    // "OrderInfoDic" contents: keys only for fields that are not empty.
    static QVariantMap orderInfoDic(const OrderInfo& info);
    static QVariantMap orderInfo3465Dic(const OrderInfo3465& info);
    // "CharInputDic" contents.
    static QVariantMap charInputDic(const QString& name, const QString& date);

    // "AcNowSend", "AcAfterSend", "AcSave" for the tags; the tag of a stored type (301 when
    // none or unknown).
    static QString orderActionTypeForTag(int tag);
    static int orderActionTagForType(const std::optional<QString>& type);
    // The text shown under the choice.
    static QString orderActionText(int tag);
    // The now-send choice's title: it sends only this order when others wait in the pool.
    static QString nowSendTitle(qint64 poolCount);

    // The archive name the save panel proposes: the next zip name with ".zip".
    static QString nextArchiveFileName();
    // The chosen path with ".zip" appended when it does not end in it already (any case).
    static QString savePathWithZip(const QString& chosen);
    // The folder the save panel opens in: the last save path's folder when it exists, else home.
    static QString saveFolder();
};
