#pragma once

#include "app/config/configsaveload.h"
#include "utillib/objstorages.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The "xml" storage registered once for the whole test program, as the
// program's start does.
class XmlStorageEnvironment : public ::testing::Environment {
public:
    void SetUp() override { TVantoliConfigPersistent::RegisterSaveLoader(); }
};

// Joins lines with the CRLF that ends every line of a written file.
inline QByteArray CrLf(std::initializer_list<const char*> lines)
{
    QByteArray out;
    for (const char* l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : FName(name), FHad(qEnvironmentVariableIsSet(name)), FOld(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }

private:
    const char* FName;
    bool FHad;
    QByteArray FOld;
};
