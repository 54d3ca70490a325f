// What Windows reads from the shipped programs without running them: the manifest, the
// version that Explorer and the system's prompts show, and the exe's icon, which must be the
// window's own picture in every size.
#include "app/appicon.h"
#include "app/appinfo.h"
#include "app/form57.h"

#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>

using namespace tolvane;

namespace {

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

// A program's resources, loaded as data: nothing of the program runs.
class Resources {
public:
    explicit Resources(const QString& path)
        : m_module(LoadLibraryExW(wide(path).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~Resources() {
        if (m_module != nullptr)
            FreeLibrary(m_module);
    }
    Resources(const Resources&) = delete;
    Resources& operator=(const Resources&) = delete;

    bool loaded() const { return m_module != nullptr; }

    QByteArray data(LPCWSTR type, LPCWSTR name) const {
        HRSRC found = FindResourceW(m_module, name, type);
        if (found == nullptr)
            return {};
        const auto* bytes = static_cast<const char*>(LockResource(LoadResource(m_module, found)));
        return QByteArray(bytes, static_cast<qsizetype>(SizeofResource(m_module, found)));
    }

    // The names of the resources of a type, numbers as "#1".
    QStringList names(LPCWSTR type) const {
        QStringList names;
        EnumResourceNamesW(
            m_module, type,
            [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) -> BOOL {
                reinterpret_cast<QStringList*>(list)->append(
                    IS_INTRESOURCE(name)
                        ? QStringLiteral("#%1").arg(reinterpret_cast<quintptr>(name))
                        : QString::fromWCharArray(name));
                return TRUE;
            },
            reinterpret_cast<LONG_PTR>(&names));
        return names;
    }

private:
    HMODULE m_module;
};

// The exe and its console companion, by path.
class ProgramResources : public testing::TestWithParam<const char*> {
protected:
    const QString m_path = QString::fromUtf8(GetParam());
};

TEST_P(ProgramResources, ManifestRunsAsInvokerOnWindows10WithLongPaths) {
    const Resources program(m_path);
    ASSERT_TRUE(program.loaded()) << GetLastError();
    // One manifest, the one a process is started with: a second one, such as a default
    // manifest a toolchain links in, would not be read.
    EXPECT_EQ(program.names(RT_MANIFEST), QStringList{QStringLiteral("#1")});
    const QString manifest =
        QString::fromUtf8(program.data(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID));
    EXPECT_TRUE(manifest.contains(QStringLiteral("level=\"asInvoker\""))) << qPrintable(manifest);
    EXPECT_TRUE(manifest.contains(QStringLiteral("uiAccess=\"false\"")));
    EXPECT_TRUE(manifest.contains(QStringLiteral("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")));
    EXPECT_TRUE(manifest.contains(QStringLiteral(">true</longPathAware>")));

    // The system's own reading of it: a manifest it cannot read keeps a program from starting.
    const std::wstring path = wide(m_path);
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path.c_str();
    context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE activation = CreateActCtxW(&context);
    EXPECT_NE(activation, INVALID_HANDLE_VALUE) << GetLastError();
    if (activation != INVALID_HANDLE_VALUE)
        ReleaseActCtx(activation);
}

TEST_P(ProgramResources, VersionNamesTheProgramAndItsVersion) {
    const std::wstring path = wide(m_path);
    DWORD ignored = 0;
    QByteArray info(static_cast<qsizetype>(GetFileVersionInfoSizeW(path.c_str(), &ignored)), 0);
    ASSERT_FALSE(info.isEmpty()) << "no version resource";
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));

    void* value = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &value, &size));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    const QStringList parts = QStringLiteral(TOLVANE_VERSION).split(QLatin1Char('.'));
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(fixed->dwFileVersionMS, (parts[0].toUInt() << 16) | parts[1].toUInt());
    EXPECT_EQ(fixed->dwFileVersionLS, parts[2].toUInt() << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    // The language the strings are in must be the one the strings are filed under.
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &size));
    ASSERT_GE(size, 4u);
    const auto* translation = static_cast<const WORD*>(value);
    const QString block = QStringLiteral("\\StringFileInfo\\%1%2\\")
                              .arg(translation[0], 4, 16, QLatin1Char('0'))
                              .arg(translation[1], 4, 16, QLatin1Char('0'));
    const auto text = [&](const char* name) {
        const std::wstring key = wide(block + QLatin1String(name));
        void* found = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(info.data(), key.c_str(), &found, &length) || length == 0)
            return QString();
        // The length counts the closing zero.
        return QString::fromWCharArray(static_cast<const wchar_t*>(found), length - 1);
    };
    EXPECT_EQ(text("ProductName"), Form57::appTitle());
    EXPECT_TRUE(text("FileDescription").startsWith(Form57::appTitle()))
        << qPrintable(text("FileDescription"));
    EXPECT_EQ(text("FileVersion"), QStringLiteral(TOLVANE_VERSION));
    EXPECT_EQ(text("ProductVersion"), QStringLiteral(TOLVANE_VERSION));
    EXPECT_EQ(text("OriginalFilename"), QFileInfo(m_path).fileName());
    EXPECT_FALSE(text("LegalCopyright").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(ShippedPrograms, ProgramResources,
                         testing::Values(TOLVANE_PATCH_EXE, TOLVANE_PATCH_COM),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return QFileInfo(QString::fromUtf8(info.param)).suffix().toStdString();
                         });

// The icon directory as it is stored in a resource: the file's, with resource numbers in
// place of file offsets.
#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(ExeIcon, IsTheWindowsPictureInEverySize) {
    const Resources program(QStringLiteral(TOLVANE_PATCH_EXE));
    ASSERT_TRUE(program.loaded()) << GetLastError();
    // Qt gives the window's class the icon of this name, and Explorer shows the first icon.
    EXPECT_EQ(program.names(RT_GROUP_ICON), QStringList{QStringLiteral("IDI_ICON1")});

    const QByteArray group = program.data(RT_GROUP_ICON, L"IDI_ICON1");
    ASSERT_GE(group.size(), 6);
    const auto count = *reinterpret_cast<const WORD*>(group.constData() + 4);
    ASSERT_EQ(group.size(), 6 + count * qsizetype(sizeof(GroupIconEntry)));

    const QIcon window = appIcon();
    QList<QSize> sizes;
    for (int i = 0; i < count; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.constData() + 6 + i * sizeof entry, sizeof entry);
        // 0 stands for 256.
        const QSize size(entry.width != 0 ? entry.width : 256,
                         entry.height != 0 ? entry.height : 256);
        sizes.append(size);
        QByteArray image = program.data(RT_ICON, MAKEINTRESOURCEW(entry.id));
        ASSERT_EQ(image.size(), qsizetype(entry.bytes)) << "icon " << entry.id;

        // The picture as Windows draws it, beside the window's.
        HICON icon = CreateIconFromResourceEx(reinterpret_cast<PBYTE>(image.data()),
                                              static_cast<DWORD>(image.size()), TRUE, 0x00030000,
                                              size.width(), size.height(), LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr) << size.width() << " pixels: " << GetLastError();
        const QImage shown = QImage::fromHICON(icon).convertToFormat(QImage::Format_ARGB32);
        DestroyIcon(icon);
        EXPECT_TRUE(shown == window.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32))
            << "the exe's icon differs from the window's at " << size.width() << " pixels";
    }
    QList<QSize> windowSizes = window.availableSizes();
    const auto byWidth = [](QSize a, QSize b) { return a.width() < b.width(); };
    std::sort(sizes.begin(), sizes.end(), byWidth);
    std::sort(windowSizes.begin(), windowSizes.end(), byWidth);
    EXPECT_EQ(sizes, windowSizes);
    // The title bar's, the taskbar's and Explorer's sizes up to its largest view.
    for (const int side : {16, 32, 48, 256})
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side << " pixels";
}

} // namespace
