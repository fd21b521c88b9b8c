#include "db/Catalog.h"
#include "db/Names.h"

#include "db/DatabaseError.h"
#include "platform/Files.h"

#include <filesystem>

namespace db {

namespace fs = std::filesystem;

THashIndex& TTableEntry::Index(int field) {
    auto& slot = Indexes[field];
    if (!slot)
        slot = std::make_unique<THashIndex>(*File, field);
    return *slot;
}

TCatalog::TCatalog(std::string directory) : Dir(std::move(directory)) {
    if (Dir.empty() || !platform::DirectoryExists(Dir))
        throw EDatabaseError("Каталог базы данных не найден: \"" + Dir + "\"");
}

TTableEntry& TCatalog::Table(const std::string& name) {
    const std::string key = Upper(name);
    auto it = Tables.find(key);
    if (it != Tables.end() && !it->second.File->ChangedOnDisk())
        return it->second;

    // Table files written on another system may have any letter case.
    const std::string wanted = key + ".DB";
    std::string path;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Dir, ec)) {
        const std::string fileName = entry.path().filename().string();
        if (Upper(fileName) != wanted)
            continue;
        if (path.empty() || fileName == name + ".db")
            path = entry.path().string();
    }
    if (ec)
        throw EDatabaseError("Не удалось прочитать каталог базы данных \"" + Dir +
                             "\": " + ec.message());
    if (path.empty() || fs::is_directory(path, ec))
        throw EDatabaseError("Таблица \"" + name + "\" не найдена в каталоге \"" + Dir + "\"");
    TTableEntry entry;
    entry.File = TTableFile::Load(path, name);
    if (it != Tables.end())
        it->second = std::move(entry);
    else
        it = Tables.emplace(key, std::move(entry)).first;
    return it->second;
}

} // namespace db
