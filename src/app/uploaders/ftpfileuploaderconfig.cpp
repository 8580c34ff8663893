#include "app/uploaders/ftpfileuploader.h"

void TFtpFileUploaderConfig::SetDefaultValues()
{
    TFileUploaderConfig::SetDefaultValues();
    FPort = 21;
    FUserName = QStringLiteral("anonymous");
    FPassword.clear();
    FAutoDestFileName = true;
}
