#pragma once

#include <QString>

// Settings keys read or written by more than one source file, spelled once so the files cannot
// drift apart. Each name is the key itself. Use them inside functions only: as inline variables
// they are initialised at start-up, so another file's namespace-scope constant must not copy them.
namespace SettingsKey {

// --- Top-level keys ---
inline const QString AlbumSetName = QStringLiteral("AlbumSetName");
inline const QString BagNo = QStringLiteral("BagNo");
inline const QString CustomCustomerCode = QStringLiteral("CustomCustomerCode");
inline const QString CustomerCode =
    QStringLiteral("CustomerCode"); // also in each "Customers" entry
inline const QString Customers = QStringLiteral("Customers");
inline const QString Ftp2TargetCode = QStringLiteral("Ftp2TargetCode");
inline const QString MainTabLabel = QStringLiteral("MainTabLabel");
inline const QString OrderActionType = QStringLiteral("OrderActionType");
inline const QString OrderSavePath = QStringLiteral("OrderSavePath");
// The save path whose existing file the user agreed to replace (written with OrderSavePath).
inline const QString OrderSaveReplacePath = QStringLiteral("OrderSaveReplacePath");
inline const QString WorkApp = QStringLiteral("WorkApp");

// --- Entries of the album tab's record ("AlbumDic") ---
inline const QString AlAlbumPop = QStringLiteral("AlAlbumPop");
inline const QString AlSizePop = QStringLiteral("AlSizePop");
inline const QString AlPagePop = QStringLiteral("AlPagePop");
inline const QString AlInpMenPop = QStringLiteral("AlInpMenPop");
inline const QString AlInpRamiPop = QStringLiteral("AlInpRamiPop");
inline const QString AlBBStylePop = QStringLiteral("AlBBStylePop");
inline const QString AlHyouPop = QStringLiteral("AlHyouPop");
inline const QString AlHyouColPop = QStringLiteral("AlHyouColPop");
inline const QString AlHyouTempPop = QStringLiteral("AlHyouTempPop");
inline const QString AlHyouSeColPop = QStringLiteral("AlHyouSeColPop");
inline const QString AlBaseColPop = QStringLiteral("AlBaseColPop");
inline const QString AlBoxPop = QStringLiteral("AlBoxPop");
inline const QString AlBoxColPop = QStringLiteral("AlBoxColPop");
inline const QString AlMiniPop = QStringLiteral("AlMiniPop");
inline const QString AlMiniColPop = QStringLiteral("AlMiniColPop");
inline const QString AlOptoinArray = QStringLiteral("AlOptoinArray"); // the stored spelling

// --- Entries of the resize tab's record ("ResizeDic") ---
inline const QString ResizeSizePopKey = QStringLiteral("ResizeSizePopKey");
inline const QString ResizeGoodsOptionPopKey = QStringLiteral("ResizeGoodsOptionPopKey");

} // namespace SettingsKey
