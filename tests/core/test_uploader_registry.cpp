// The uploader registry and the uploader presets file object.
#include "coretest.h"

#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/ftpfileuploader.h"

TEST(UploaderRegistry, RegisterCreateAndNames)
{
    EXPECT_EQ(TFileUploaderFactory::UploaderNames(), QStringList({"FTP"}));
    try {
        TFileUploaderFactory::RegisterUploader(QStringLiteral("FTP"), TFileUploaderClass::Of<TFtpFileUploader>());
        FAIL();
    } catch (const EFileUploaderException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("File uploader with name \"FTP\" already exists"));
    }
    TFileUploaderFactory::RegisterUploader(QStringLiteral("ftp"), TFileUploaderClass::Of<TFtpFileUploader>());
    EXPECT_EQ(TFileUploaderFactory::UploaderNames(), QStringList({"FTP", "ftp"}));
    TFileUploaderFactory::UnregisterUploader(QStringLiteral("ftp"));
    TFileUploaderFactory::UnregisterUploader(QStringLiteral("unknown"));
    EXPECT_EQ(TFileUploaderFactory::UploaderNames(), QStringList({"FTP"}));
    EXPECT_FALSE(TFileUploaderFactory::GetUploaderClass(QStringLiteral("ftp")));
    EXPECT_THROW(TFileUploaderFactory::CreateUploader(QStringLiteral("nope"), nullptr), EFileUploaderException);

    // Created without settings: the class's defaults. With settings: a copy.
    auto plain = TFileUploaderFactory::CreateUploader(QStringLiteral("FTP"), nullptr);
    auto* ftp = qobject_cast<TFtpFileUploader*>(plain.get());
    ASSERT_NE(ftp, nullptr);
    EXPECT_EQ(ftp->FtpConfig()->Port(), 21);

    auto settings = NewConfig<TFtpFileUploaderConfig>();
    settings->SetHost(QStringLiteral("h"));
    settings->SetUploaderName(QStringLiteral("FTP"));
    auto made = TFileUploaderFactory::CreateUploader(QStringLiteral("FTP"), settings.get());
    settings->SetHost(QStringLiteral("changed"));
    auto* ftp2 = static_cast<TFtpFileUploader*>(made.get());
    EXPECT_EQ(ftp2->FtpConfig()->Host(), QStringLiteral("h"));
    EXPECT_EQ(ftp2->FtpConfig()->UploaderName(), QStringLiteral("FTP"));

    // The settings class can be found by the name stored files use.
    EXPECT_EQ(TClassRegistry::Instance().FindClass(QStringLiteral("TFtpFileUploader.TFtpFileUploaderConfig")),
              TFtpFileUploader::GetConfigClass());
}
