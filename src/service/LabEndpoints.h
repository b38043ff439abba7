#pragma once

// Every fixed value of the lab's servers: request paths, query formats, answers the program looks
// for, FTP accounts and folders, and the command-line formats of the transfers. Hosts are not here:
// they are configuration (LabConfig). Formats use Qt's %1, %2, ... in the order the caller fills
// them.
namespace LabEndpoints {

// --- Information server and web server: the two update information pages ---
inline constexpr char kAppInfoPath[] = "/halv_ix2/appinfo.html";
inline constexpr char kAlbumInfoPath[] = "/album_info_8.html";
// Both pages are joined as "<appinfo>\n<album info>".
inline constexpr char kUpdateInfoJoinFormat[] = "%1\n%2";
// A page that lacks this word is not one of the lab's pages.
inline constexpr char kPageMarkWord[] = "MVL_DATA";
// A marker block: "<!--NAME\n" value "\nNAME-->".
inline constexpr char kMarkerOpenFormat[] = "<!--%1\n";
inline constexpr char kMarkerCloseFormat[] = "\n%1-->";

// Marker names carried by the pages.
inline constexpr char kMarkerAppVerMac[] = "APP_VER_MAC";
inline constexpr char kMarkerCustomCustomerCode[] = "CUSTOM_CUSTOMER_CODE";
inline constexpr char kMarkerFtp2TargetCode[] = "FTP2_TARGET_CODE";
inline constexpr char kMarkerAlbumTs[] = "ALBUM_TS";
inline constexpr char kMarkerAlbumCsvUrl[] = "ALBUM_CSV_URL";
inline constexpr char kMarkerAlbumSupportVer[] = "ALBUM_SUPPORT_VER";
inline constexpr char kMarkerPrintXmlMacVer[] = "PRINT_XML_MAC_VER";
inline constexpr char kMarkerPrintXmlVer[] = "PRINT_XML_VER";
inline constexpr char kMarkerPrintXmlUrl[] = "PRINT_XML_URL";
inline constexpr char kMarkerSchoolXmlMacVer[] = "SCHOOL_XML_MAC_VER";
inline constexpr char kMarkerSchoolXmlVer[] = "SCHOOL_XML_VER";
inline constexpr char kMarkerSchoolXmlUrl[] = "SCHOOL_XML_URL";
inline constexpr char kMarkerResizeXmlMacVer[] = "RESIZE_XML_MAC_VER";
inline constexpr char kMarkerResizeXmlVer[] = "RESIZE_XML_VER";
inline constexpr char kMarkerResizeXmlUrl[] = "RESIZE_XML_URL";
// Plain words (not blocks) anywhere in the update information.
inline constexpr char kWordKineloOff[] = "KINELO-OFF";
inline constexpr char kWordFfTabOn[] = "FF-TAB-ON";

// Catalogues: an album catalogue body must carry this word; custom catalogues carry theirs.
inline constexpr char kAlbumCatalogueWord[] = "CSV_DATA_ALBUM";
inline constexpr char kCustomPrintWord[] = "order_set_print";
inline constexpr char kCustomSchoolWord[] = "order_set_school";
// In develop mode the album URL's "csvs" becomes "csvs_realtime", an XML URL's ".xml" "_test.xml".
inline constexpr char kAlbumDevelopFind[] = "csvs";
inline constexpr char kAlbumDevelopReplace[] = "csvs_realtime";
inline constexpr char kXmlDevelopFind[] = ".xml";
inline constexpr char kXmlDevelopReplace[] = "_test.xml";

// --- Analysis server: usage reports ---
inline constexpr char kAnalyzerPath[] = "/cgi-bin/WebObjects/HalvixAnalyzer.woa/wa/MacApp";
// GET appends the escaped report to this; POST is sent to it unchanged.
inline constexpr char kAnalyzerQuery[] = "?data=";
inline constexpr char kAnalyzerPostBodyFormat[] = "data=%1";
inline constexpr char kAnalyzerFieldSeparator[] = "<-#->";
inline constexpr char kAnalyzerRecordSeparator[] = "<-##->";
inline constexpr double kAnalyzerGetTimeoutSeconds = 2.0;
inline constexpr double kAnalyzerPostTimeoutSeconds = 3.0;

// --- Authentication server: custom mode ---
inline constexpr char kAuthConvertMd5Path[] = "/cgi-bin/WebObjects/MVLAuth.woa/wa/ConvertMD5?str=";
inline constexpr char kAuthPath[] = "/cgi-bin/WebObjects/MVLAuth.woa/wa/Auth?";
inline constexpr char kAuthCheckQueryFormat[] = "code=%1&pass=%2";
inline constexpr char kAuthDataQueryFormat[] = "code=%1&pass=%2&key=%3";
inline constexpr char kAuthMd5Prefix[] = "MD5=";
inline constexpr char kAuthOk[] = "OK";
inline constexpr char kAuthNg[] = "NG";
inline constexpr char kAuthDeleteData[] = "DELETE-DATA";
// The names the server knows the custom catalogues by (its spelling).
inline constexpr char kAuthKeyCustomAlbum[] = "CustomAlbum";
inline constexpr char kAuthKeyCustomPrint[] = "CustomPrint2";
inline constexpr char kAuthKeyCustomSchool[] = "CustomShcool";

// --- HTTP in general ---
inline constexpr double kPageTimeoutSeconds = 5.0;

// --- Order FTP servers: accounts and folders ---
// The production account's name is configuration (LabConfig::orderFtpUser); its password is fixed.
inline constexpr char kProductionPassword[] = "47kdw9R5";
inline constexpr char kProductionFolder[] = "/ntordrsm2/";
inline constexpr char kFtp2User[] = "halvix_mac";
inline constexpr char kFtp2Password[] = "qxz20190311";
inline constexpr char kFtp2Folder[] = "/halvyx_mac/ntordrsm2/";
inline constexpr char kFtp2SendValue[] = "FTP2"; // usage report field Send
inline constexpr char kTestUser[] = "mivel";
inline constexpr char kTestPassword[] = "plumtreehawk";
inline constexpr char kTestFolder[] = "/mivel/490_halvix2_test/";
// An archive travels as "upload_" + name and is renamed once complete.
inline constexpr char kUploadPrefix[] = "upload_";

// Upload with curl: "-T" <archive> "-K" "-" <url> "--retry" "3" "-m" "21600", run in "~", the
// account in a config on curl's standard input (never on its command line); the URL is
// "ftp://" + host + folder + "upload_" + name.
inline constexpr char kFtpUrlFormat[] = "ftp://%1%2%3"; // host, folder, name
inline constexpr char kCurlRetryCount[] = "3";
inline constexpr char kCurlMaxSeconds[] = "21600";
// Shell command lines of the rename and its check (host, folder, temp name, folder, final name,
// user, password), and of the name listing (user, password, host, folder); the shell's own printf
// hands the account to curl on standard input. The send stage runs the same exchanges as argument
// vectors (SendJob), never through a shell.
inline constexpr char kRenameCommandFormat[] =
    "printf 'user = \"%6:%7\"\\n' | curl -K - ftp://%1 -Q 'RNFR %2%3' -Q 'RNTO %4%5'";
inline constexpr char kListCommandFormat[] =
    "printf 'user = \"%1:%2\"\\n' | curl -K - -l ftp://%3%4";
inline constexpr int kRenameAttempts = 10;
// The ftp client script that removes a failed upload (host, user, password, folder, temp name).
// The send stage deletes through curl's "-Q DELE" instead: a name pasted into a script can carry
// commands of its own.
// The ftp client's "open" takes host and port separated by a blank: see LabConfig::ftpOpenHost.
inline constexpr char kFtpDeleteScriptFormat[] = "open %1\nuser %2 %3\ndel %4%5\nclose\nbye\n";

// --- Version-up (production account) ---
inline constexpr char kVersionUpFolder[] = "/upver/m";
inline constexpr char kVersionUpPathFormat[] = "%1/%2";               // folder, file name
inline constexpr char kVersionUpFileFormat[] = "Halvix2_v%1.zip";     // version without "."
inline constexpr char kVersionUpInstaller[] = "Halvix2_Install.mpkg"; // inside the unpacked folder

// --- File download window (production account) ---
inline constexpr char kDownloadFolder[] = "/dwnld/";
// Folder URL "ftp://" host "/dwnld/" code "/"; the information file is "<code>.txt" in it.
inline constexpr char kDownloadFolderUrlFormat[] = "ftp://%1%2%3/"; // host, "/dwnld/", code
inline constexpr char kDownloadInfoUrlFormat[] =
    "ftp://%1%2%3/%4.txt"; // host, "/dwnld/", code, code
// One file each: host, "/dwnld/", code, the name (percent-encoded; curl runs with --globoff).
inline constexpr char kDownloadFileUrlFormat[] = "ftp://%1%2%3/%4";
inline constexpr char kDownloadInfoFileFormat[] = "%1.txt";

} // namespace LabEndpoints
