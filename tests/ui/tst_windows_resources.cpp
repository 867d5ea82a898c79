// What Windows shows of the two programs: their icon, version information and manifest, read
// from the built files as Explorer and the loader read them.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <QTest>

#include <vector>

namespace {

QString versionValue(const QString& program, const QString& name) {
    const auto* path = reinterpret_cast<const wchar_t*>(program.utf16());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoW(path, 0, size, data.data())) {
        return {};
    }
    const QString key = QStringLiteral("\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), reinterpret_cast<const wchar_t*>(key.utf16()), &value,
                        &length) ||
        length == 0) {
        return {};
    }
    return QString::fromWCharArray(static_cast<const wchar_t*>(value)).trimmed();
}

QByteArray resource(HMODULE module, const wchar_t* type) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), type);
    if (found == nullptr) {
        return {};
    }
    const HGLOBAL loaded = LoadResource(module, found);
    return QByteArray(static_cast<const char*>(LockResource(loaded)),
                      static_cast<qsizetype>(SizeofResource(module, found)));
}

}  // namespace

class WindowsResourcesTest : public QObject {
    Q_OBJECT

private slots:
    void programsCarryIconVersionAndManifest_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("window") << QStringLiteral(WINDOW_PROGRAM);
        QTest::newRow("command line") << QStringLiteral(CLI_PROGRAM);
    }
    void programsCarryIconVersionAndManifest() {
        QFETCH(QString, program);
        const QString native = QString(program).replace(QLatin1Char('/'), QLatin1Char('\\'));

        QCOMPARE(versionValue(native, QStringLiteral("ProductName")),
                 QStringLiteral("Hideaway100K"));
        QCOMPARE(versionValue(native, QStringLiteral("ProductVersion")),
                 QStringLiteral(HIDEAWAY_VERSION));
        QVERIFY(versionValue(native, QStringLiteral("LegalCopyright"))
                    .contains(QStringLiteral("MIT License")));

        const HMODULE module =
            LoadLibraryExW(reinterpret_cast<const wchar_t*>(native.utf16()), nullptr,
                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        QVERIFY(module != nullptr);
        const QByteArray manifest = resource(module, MAKEINTRESOURCEW(24));  // RT_MANIFEST
        // Windows 10 and 11, per-monitor DPI awareness, UTF-8 as the active code page.
        QVERIFY2(manifest.contains("supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\""),
                 manifest.constData());
        QVERIFY2(manifest.contains(">PerMonitorV2</dpiAwareness>"), manifest.constData());
        QVERIFY2(manifest.contains(">UTF-8</activeCodePage>"), manifest.constData());
        // An icon group with the sizes Explorer and the taskbar ask for, up to 256 pixels.
        const QByteArray icons = resource(module, MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
        QVERIFY(icons.size() >= 6);
        const int count = static_cast<unsigned char>(icons[4]) | (icons[5] << 8);
        QCOMPARE(count, 5);
        QCOMPARE(icons.size(), 6 + 14 * count);
        FreeLibrary(module);
    }
};

QTEST_GUILESS_MAIN(WindowsResourcesTest)
#include "tst_windows_resources.moc"
