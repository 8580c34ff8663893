// Configuration objects: defaults, reflective copies, property orders.
#include "coretest.h"

#include "app/config/appconfigs.h"
#include "app/uploaders/ftpfileuploader.h"
#include "utillib/objutils.h"

namespace {

// Two unrelated settings classes that share some names (in another case).
class TLeftConfig : public TConfig {
    Q_OBJECT
    Q_PROPERTY(QString Shared READ Shared WRITE SetShared)
    Q_PROPERTY(int OnlyLeft READ OnlyLeft WRITE SetOnlyLeft)
    Q_PROPERTY(QString Hidden READ Hidden WRITE SetHidden DESIGNABLE false)
public:
    Q_INVOKABLE TLeftConfig() = default;
    QString Shared() const { return FShared; }
    void SetShared(const QString& v) { FShared = v; }
    int OnlyLeft() const { return FOnlyLeft; }
    void SetOnlyLeft(int v) { FOnlyLeft = v; }
    QString Hidden() const { return FHidden; }
    void SetHidden(const QString& v) { FHidden = v; }
    QString FShared, FHidden;
    int FOnlyLeft = 0;
};

class TRightConfig : public TConfig {
    Q_OBJECT
    Q_PROPERTY(QString SHARED READ Shared WRITE SetShared)
    Q_PROPERTY(bool OnlyRight READ OnlyRight WRITE SetOnlyRight)
    Q_PROPERTY(QString hidden READ Hidden WRITE SetHidden DESIGNABLE false)
public:
    Q_INVOKABLE TRightConfig() = default;
    QString Shared() const { return FShared; }
    void SetShared(const QString& v) { FShared = v; }
    bool OnlyRight() const { return FOnlyRight; }
    void SetOnlyRight(bool v) { FOnlyRight = v; }
    QString Hidden() const { return FHidden; }
    void SetHidden(const QString& v) { FHidden = v; }
    QString FShared, FHidden;
    bool FOnlyRight = false;
};

// A descendant that adds a property and redeclares an inherited one.
class TDerivedFtpConfig : public TFtpFileUploaderConfig {
    Q_OBJECT
    Q_PROPERTY(QString Extra READ Extra WRITE SetExtra)
    Q_PROPERTY(QString Host READ Host WRITE SetHost)
public:
    Q_INVOKABLE TDerivedFtpConfig() = default;
    QString Extra() const { return FExtra; }
    void SetExtra(const QString& v) { FExtra = v; }
    QString FExtra;
};

QStringList Names(const QList<TPropInfo>& props)
{
    QStringList out;
    for (const TPropInfo& p : props)
        out << p.Name;
    return out;
}

} // namespace

TEST(ConfigObjects, FreshObjectsCarryTheirDefaults)
{
    auto site = NewConfig<TMoodleSysConfig>();
    EXPECT_EQ(site->LoginPath(), QStringLiteral("/login/"));
    EXPECT_EQ(site->RepoUploadPath(), QStringLiteral("/repository/repository_ajax.php?action=upload"));
    EXPECT_EQ(site->FileUploadMethod(), TMoodleSysConfig::umMoodle);
    EXPECT_FALSE(site->AutoLogin());
    EXPECT_EQ(site->Bookmarks()->Count(), 0);

    // Created by class reference: the defaults apply the same way.
    std::unique_ptr<TConfig> byClass = CreateConfig(&TFtpFileUploaderConfig::staticMetaObject);
    auto* ftp = qobject_cast<TFtpFileUploaderConfig*>(byClass.get());
    ASSERT_NE(ftp, nullptr);
    EXPECT_EQ(ftp->Port(), 21);
    EXPECT_EQ(ftp->UserName(), QStringLiteral("anonymous"));
    EXPECT_TRUE(ftp->AutoDestFileName());
    EXPECT_FALSE(ftp->AutoCreateSessionDir());

    // Applying the defaults again touches only the settings that have one.
    ftp->SetHost(QStringLiteral("h"));
    ftp->SetPort(2121);
    ftp->SetAutoCreateSessionDir(true);
    ftp->SetDefaultValues();
    EXPECT_EQ(ftp->Host(), QStringLiteral("h"));
    EXPECT_EQ(ftp->Port(), 21);
    EXPECT_TRUE(ftp->AutoCreateSessionDir());
}

TEST(ConfigObjects, AssignCopiesPublishedPropertiesBothSidesShare)
{
    auto a = NewConfig<TMoodleSysConfig>();
    a->SetRootUrl(QStringLiteral("http://x"));
    a->SetAutoLogin(true);
    a->SetFileUploadMethod(TMoodleSysConfig::umCustom);
    a->Bookmarks()->AddBookmark(QStringLiteral("t"), QStringLiteral("u"));
    a->SetEnableRttiAssign(true);
    auto b = NewConfig<TMoodleSysConfig>();
    b->SetEnableRttiAssign(false); // public: not copied
    b->Assign(a.get());
    EXPECT_EQ(b->RootUrl(), QStringLiteral("http://x"));
    EXPECT_TRUE(b->AutoLogin());
    EXPECT_EQ(b->FileUploadMethod(), TMoodleSysConfig::umCustom);
    ASSERT_EQ(b->Bookmarks()->Count(), 1);
    EXPECT_NE(b->Bookmarks(), a->Bookmarks()); // content copied, never the object
    EXPECT_FALSE(b->EnableRttiAssign());

    // Different classes: common names (any case) move, the rest stays.
    TLeftConfig left;
    left.FShared = QStringLiteral("s");
    left.FOnlyLeft = 7;
    left.FHidden = QStringLiteral("h");
    TRightConfig right;
    right.FOnlyRight = true;
    right.Assign(&left);
    EXPECT_EQ(right.FShared, QStringLiteral("s"));
    EXPECT_TRUE(right.FOnlyRight);
    EXPECT_TRUE(right.FHidden.isEmpty()); // public on both sides

    // A source that does not copy leaves the destination as it was.
    TLeftConfig quiet;
    quiet.FShared = QStringLiteral("other");
    quiet.SetEnableRttiAssign(false);
    right.Assign(&quiet);
    EXPECT_EQ(right.FShared, QStringLiteral("s"));
}

TEST(ConfigObjects, ObjUtilCopies)
{
    TLeftConfig left;
    left.FShared = QStringLiteral("s");
    left.FHidden = QStringLiteral("h");
    TRightConfig right;
    TObjUtil::RttiCopyProperty(&left, &right, QStringLiteral("OnlyLeft")); // missing on one side
    TObjUtil::RttiCopyProperty(&left, &right, QStringLiteral("nothing"));
    EXPECT_TRUE(right.FShared.isEmpty());
    // By list, visibility is not checked: a public property is copied.
    TObjUtil::RttiCopyProperties(&left, &right, {}, false, {QStringLiteral("hidden"), QStringLiteral("shared")});
    EXPECT_EQ(right.FHidden, QStringLiteral("h"));
    EXPECT_EQ(right.FShared, QStringLiteral("s"));
    // Excluded names are skipped.
    TRightConfig r2;
    TObjUtil::RttiCopyProperties(&left, &r2, {TPropVisibility::mvPublished}, true, {QStringLiteral("SHARED")});
    EXPECT_TRUE(r2.FShared.isEmpty());
    // A read-only destination stops a listed copy with the property's name.
    auto site = NewConfig<TMoodleSysConfig>();
    auto site2 = NewConfig<TMoodleSysConfig>();
    try {
        TObjUtil::RttiCopyProperties(site.get(), site2.get(), {}, false, {QStringLiteral("LoginUrl")});
        FAIL();
    } catch (const EPropertyError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("LoginUrl"));
    }
}

TEST(ConfigObjects, StorageAndCopyOrders)
{
    EXPECT_EQ(Names(TPropTable::StorageOrder(&TDerivedFtpConfig::staticMetaObject)),
              QStringList({"EnableRttiAssign", "ExcludedRttiAssignProperties", "UploaderName", "Host", "Port", "UserName",
                           "Password", "UploadDir", "VisitPath", "AutoDestFileName", "AutoCreateSessionDir", "UseTls", "Extra"}));
    QStringList copy = Names(TPropTable::CopyOrder(&TDerivedFtpConfig::staticMetaObject));
    EXPECT_EQ(copy.mid(0, 3), QStringList({"Extra", "Host", "Host"}));
    EXPECT_EQ(copy.last(), QStringLiteral("ExcludedRttiAssignProperties"));

    TDerivedFtpConfig d;
    d.AfterConstruction();
    d.SetHost(QStringLiteral("h"));
    d.FExtra = QStringLiteral("e");
    auto plain = NewConfig<TFtpFileUploaderConfig>();
    plain->Assign(&d);
    EXPECT_EQ(plain->Host(), QStringLiteral("h"));
}

#include "test_config_objects.moc"
