#include "app/PassCheck.h"

#include "service/CustomAuth.h"
#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "settings/UserDef.h"

bool PassCheck::checkPassword(const QString& password, const QString& code) {
    const QString md5 = CustomAuth::strTomd5(password);
    const std::optional<QString> answer = CustomAuth::authAnswerForCode(code, md5);
    // Only the code and the outcome go to the log, never the password or the digest.
    if (!answer || *answer != QLatin1String(LabEndpoints::kAuthOk)) {
        Log::outputLn(QStringLiteral("カスタムモード認証失敗（%1）").arg(code));
        return false;
    }
    UserDef::saveCustomerMD5(md5);
    Log::outputLn(QStringLiteral("カスタムモード認証成功（%1）").arg(code));
    return true;
}

QString PassCheck::successMessage() {
    return QStringLiteral("カスタムモード認証に成功しました");
}

QString PassCheck::successInformation(const QString& code) {
    return QStringLiteral("%1のカスタムモードを認証しました。").arg(code);
}

QString PassCheck::failureMessage() {
    return QStringLiteral("認証に失敗しました");
}

QString PassCheck::failureInformation(const QString& code) {
    return QStringLiteral("%1の認証に失敗しました。再度認証しますか？").arg(code);
}
