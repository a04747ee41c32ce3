#pragma once

#include <QString>

namespace papyrant {

// The machine's registry, where the platform has one. Key paths begin with a root name
// ("HKEY_LOCAL_MACHINE\SOFTWARE\..."). A platform without a registry answers every read with
// "Error" and every write with false, and nothing else in the program depends on it.
class Registry
{
public:
    virtual ~Registry() = default;
    // The value's text cut at its first NUL and trimmed; "Error" when it cannot be read.
    virtual QString readText(const QString &keyPath, const QString &valueName, bool view64) = 0;
    // A 32-bit number as decimal text; "Error" when it cannot be read.
    virtual QString readNumber(const QString &keyPath, const QString &valueName, bool view64) = 0;
    // Creates the key when needed; true when the number was written.
    virtual bool writeNumber(const QString &keyPath, const QString &valueName, quint32 number) = 0;
    // Deletes one value; failures are ignored.
    virtual void deleteValue(const QString &root, const QString &subKey,
                             const QString &valueName) = 0;
};

// The platform's registry. Tests may put another in its place; null goes back to the platform's.
Registry &SystemRegistry();
void setSystemRegistryForTesting(Registry *registry);

// The readers open the key in the 64-bit view on a 64-bit system unless defaultView is true.
QString RegistryReadText(const QString &keyPath, const QString &valueName, bool defaultView);
QString RegistryReadNumber(const QString &keyPath, const QString &valueName, bool defaultView);
bool RegistryWriteNumber(const QString &keyPath, const QString &valueName, quint32 number);
void RegistryDeleteValue(const QString &root, const QString &subKey, const QString &valueName);

inline constexpr QStringView RegistryError = u"Error";

} // namespace papyrant
