#pragma once

#include <QString>

// Every settings key the program reads or writes, spelled once so the files cannot drift apart.
// Each name is the key itself. Use them inside functions only: as inline variables
// they are initialised at start-up, so another file's namespace-scope constant must not copy them.
namespace SettingsKey {

// --- Top-level keys ---
inline const QString AlbumSetName = QStringLiteral("AlbumSetName");
inline const QString AlbumSetTitles = QStringLiteral("AlbumSetTitles");
inline const QString AppPreviousStatus = QStringLiteral("AppPreviousStatus");
inline const QString AppStatus = QStringLiteral("AppStatus");
inline const QString BagNo = QStringLiteral("BagNo");
inline const QString BootDate = QStringLiteral("BootDate");
inline const QString CustomCustomerCode = QStringLiteral("CustomCustomerCode");
inline const QString CustomDataDic = QStringLiteral("CustomDataDic");
inline const QString CustomerCode =
    QStringLiteral("CustomerCode"); // also in each "Customers" entry
inline const QString CustomerEmail = QStringLiteral("CustomerEmail");
inline const QString CustomerMD5Dic = QStringLiteral("CustomerMD5Dic");
inline const QString Customers = QStringLiteral("Customers");
inline const QString ExecuteBt = QStringLiteral("ExecuteBt");
inline const QString FileDownHistoryDic = QStringLiteral("FileDownHistoryDic");
inline const QString Ftp2TargetCode = QStringLiteral("Ftp2TargetCode");
// Days a sent order's archive is kept for sending again (absent: 7; 0: none is kept).
inline const QString KeptOrderDays = QStringLiteral("KeptOrderDays");
// The most the kept archives may take, in GB (absent or 0: 20 GB or a tenth of the free space,
// whichever is smaller).
inline const QString KeptOrderCapGB = QStringLiteral("KeptOrderCapGB");
inline const QString MacAddr = QStringLiteral("MacAddr");
inline const QString MainTabFileInfo = QStringLiteral("MainTabFileInfo");
inline const QString MainTabLabel = QStringLiteral("MainTabLabel");
inline const QString MultiCustomerCheck = QStringLiteral("MultiCustomerCheck");
inline const QString OrderActionType = QStringLiteral("OrderActionType");
inline const QString OrderSavePath = QStringLiteral("OrderSavePath");
// The save path whose existing file the user agreed to replace (written with OrderSavePath).
inline const QString OrderSaveReplacePath = QStringLiteral("OrderSaveReplacePath");
// Where the last support bundle was saved: a save killed half-way leaves its partial copy there.
inline const QString SupportBundlePath = QStringLiteral("SupportBundlePath");
inline const QString PhotoStudioName = QStringLiteral("PhotoStudioName");
inline const QString WorkApp = QStringLiteral("WorkApp");

// --- Stored catalogues ---
inline const QString AlbumData = QStringLiteral("AlbumData");
inline const QString AlbumDataDateTime = QStringLiteral("AlbumDataDateTime");
inline const QString PrintData = QStringLiteral("PrintData");
inline const QString SchoolData = QStringLiteral("SchoolData");
inline const QString ResizeData = QStringLiteral("ResizeData");

// --- Records of the tabs and the order sheets ---
inline const QString PrintDic = QStringLiteral("PrintDic");
inline const QString PrintOrderArray = QStringLiteral("PrintOrderArray");
inline const QString SchoolDic = QStringLiteral("SchoolDic");
inline const QString SchoolOrderArray = QStringLiteral("SchoolOrderArray");
inline const QString AlbumDic = QStringLiteral("AlbumDic");
inline const QString ResizeDic = QStringLiteral("ResizeDic");
inline const QString EtcDic = QStringLiteral("EtcDic");
inline const QString OrderInfoDic = QStringLiteral("OrderInfoDic");
inline const QString CharInputDic = QStringLiteral("CharInputDic");
inline const QString FotoFusionDic = QStringLiteral("FotoFusionDic");
inline const QString AlbumKineloDic = QStringLiteral("AlbumKineloDic");
inline const QString PrintKineloDic = QStringLiteral("PrintKineloDic");

// --- Entries of the Kinelo records ("AlbumKineloDic", "PrintKineloDic") ---
inline const QString OrderType = QStringLiteral("OrderType");
inline const QString AddFileArray = QStringLiteral("AddFileArray");
inline const QString MovPath = QStringLiteral("MovPath");
inline const QString PicPath = QStringLiteral("PicPath");

// --- Entries of the order information record ("OrderInfoDic") ---
inline const QString OrderInfoSystemNo = QStringLiteral("OrderInfoSystemNo");
inline const QString OrderInfoWeddingDateAndVenue = QStringLiteral("OrderInfoWeddingDateAndVenue");
inline const QString OrderInfoBrideAndGroom = QStringLiteral("OrderInfoBrideAndGroom");
inline const QString OrderInfoStaffName = QStringLiteral("OrderInfoStaffName");
inline const QString OrderInfoSalon = QStringLiteral("OrderInfoSalon");
inline const QString OrderInfoDeliveryDate = QStringLiteral("OrderInfoDeliveryDate");
inline const QString OrderInfoDate = QStringLiteral("OrderInfoDate");
inline const QString OrderInfoName = QStringLiteral("OrderInfoName");
inline const QString OrderInfoNo = QStringLiteral("OrderInfoNo");

// --- Entries of the FotoFusion record ("FotoFusionDic") ---
inline const QString ManifestPath = QStringLiteral("ManifestPath");
inline const QString ArchivePath = QStringLiteral("ArchivePath");

// --- Entries of the character input record ("CharInputDic") ---
inline const QString OrderCharName = QStringLiteral("OrderCharName");
inline const QString OrderCharDate = QStringLiteral("OrderCharDate");

// --- Entries of the print and school records ("PrintDic", "SchoolDic") ---
inline const QString PrintOrderMasterMemoKey = QStringLiteral("PrintOrderMasterMemoKey");
inline const QString SchoolOrderMasterMemoKey = QStringLiteral("SchoolOrderMasterMemoKey");

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

// --- Entries of the etc tab's record ("EtcDic") ---
inline const QString EtcOrderMemoKey = QStringLiteral("EtcOrderMemoKey");

// --- Entries of the resize tab's record ("ResizeDic") ---
inline const QString ResizeSizePopKey = QStringLiteral("ResizeSizePopKey");
inline const QString ResizeSurfacePopKey = QStringLiteral("ResizeSurfacePopKey");
inline const QString ResizeGoodsPopKey = QStringLiteral("ResizeGoodsPopKey");
inline const QString ResizeGoodsOptionPopKey = QStringLiteral("ResizeGoodsOptionPopKey");
inline const QString ResizeOrderNumKey = QStringLiteral("ResizeOrderNumKey");
inline const QString ResizeOrderMemoKey = QStringLiteral("ResizeOrderMemoKey");
inline const QString ResizeResizeCbKey = QStringLiteral("ResizeResizeCbKey");

} // namespace SettingsKey
