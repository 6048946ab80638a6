#include "bridgeconfig.h"

#include "bridgemessages.h"

#include <QDir>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

namespace {

// The administrators and SYSTEM, whom the installer gives the configuration.
const QStringList kKeepers{QStringLiteral("S-1-5-32-544"), QStringLiteral("S-1-5-18")};
// Everyone, whom a file without an access list lets do everything.
const QString kEveryone = QStringLiteral("S-1-1-0");

QString sidText(PSID sid)
{
    wchar_t *text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text))
        return QString();
    const QString result = QString::fromWCharArray(text);
    LocalFree(text);
    return result;
}

// DOMAIN\name as Windows shows it (BUILTIN\Users, Everyone); the SID when
// the account is not known here.
QString accountName(PSID sid)
{
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return sidText(sid);
    const QString account = QString::fromWCharArray(name);
    return domainSize == 0 ? account : QString::fromWCharArray(domain) + QLatin1Char('\\') + account;
}

} // namespace

QString accessWarning(const QString &file, const QString &ownerSid, const QList<FileAccessEntry> &allowed)
{
    // Reading the data, or rights that include it.
    constexpr quint32 readRights = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;
    QStringList readers;
    for (const FileAccessEntry &entry : allowed)
        if ((entry.rights & readRights) && entry.sid != ownerSid && !kKeepers.contains(entry.sid)
            && !readers.contains(entry.name))
            readers.append(entry.name);
    if (readers.isEmpty())
        return QString();
    return DimraMqtt::tr("warning: %1 can be read by %2; in an administrator's command prompt, "
                         "icacls \"%1\" /inheritance:r /grant:r *S-1-5-32-544:F *S-1-5-18:F "
                         "keeps it to the administrators and SYSTEM")
        .arg(file, readers.join(QStringLiteral(", ")));
}

// Deny entries are not weighed: a file whose list allows others to read
// is named even when an entry before denies it to some of them.
QString BridgeConfigPlatform::accessWarning(const QString &file)
{
    const QString path = QDir::toNativeSeparators(file);
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(reinterpret_cast<const wchar_t *>(path.utf16()), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &list, nullptr,
                              &descriptor)
        != ERROR_SUCCESS)
        return QString();
    QList<FileAccessEntry> allowed;
    if (!list) {
        PSID everyone = nullptr;
        if (ConvertStringSidToSidW(reinterpret_cast<const wchar_t *>(kEveryone.utf16()), &everyone)) {
            allowed.append({kEveryone, accountName(everyone), GENERIC_ALL});
            LocalFree(everyone);
        }
    }
    for (DWORD i = 0; list && i < list->AceCount; ++i) {
        void *entry = nullptr;
        if (!GetAce(list, i, &entry))
            continue;
        const auto *header = static_cast<const ACE_HEADER *>(entry);
        // An entry only for what is made inside applies to a folder's children.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        auto *allow = static_cast<ACCESS_ALLOWED_ACE *>(entry);
        PSID sid = &allow->SidStart;
        allowed.append({sidText(sid), accountName(sid), allow->Mask});
    }
    const QString ownerSid = sidText(owner);
    LocalFree(descriptor);
    return ::accessWarning(path, ownerSid, allowed);
}

// A Windows port has no other name: COMn is the port itself.
QString BridgeConfigPlatform::byIdLink(const QString &)
{
    return QString();
}
