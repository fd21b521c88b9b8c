#include "db/TableFile.h"
#include "db/Names.h"

#include "db/DatabaseError.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace db {

namespace fs = std::filesystem;

namespace {

uint16_t U16(std::string_view d, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(d[at]) |
                                 (static_cast<unsigned char>(d[at + 1]) << 8));
}
int16_t I16(std::string_view d, size_t at) {
    return static_cast<int16_t>(U16(d, at));
}
uint32_t U32(std::string_view d, size_t at) {
    return U16(d, at) | (static_cast<uint32_t>(U16(d, at + 2)) << 16);
}

int CodePageOrDefault(int codePage) {
    return codePage > 0 && platform::IsCodePageSupported(codePage) ? codePage : 437;
}

// Field names as a header lists them: the field descriptors, a table name
// pointer, one name pointer per field, the table name itself, then the names.
// Returns false when they do not fit into the header.
bool ReadFieldNames(std::string_view d, size_t headerSize, size_t fieldInfoAt, int numFields,
                    int version, int codePage, std::vector<std::string>& names) {
    size_t at = fieldInfoAt + 2 * static_cast<size_t>(numFields) + 4 +
                4 * static_cast<size_t>(numFields) + (version >= 12 ? 261 : 79);
    names.clear();
    for (int i = 0; i < numFields; ++i) {
        if (at >= headerSize)
            return false;
        size_t end = d.find('\0', at);
        if (end == std::string_view::npos || end >= headerSize)
            return false;
        names.push_back(platform::CodePageToUtf8(d.substr(at, end - at), codePage));
        at = end + 1;
    }
    return true;
}

} // namespace

[[noreturn]] void ThrowFileError(const platform::EOSError& error, const std::string& table) {
    switch (error.Code) {
    case 2:
    case 3:
        throw EDatabaseError("Таблица \"" + table + "\" не найдена: " + error.Message);
    case 5:
        throw EDatabaseError("Нет доступа к таблице \"" + table + "\": " + error.Message);
    case 32:
    case 33:
        throw EDatabaseError("Таблица \"" + table +
                             "\" заблокирована другой программой: " + error.Message);
    default:
        throw EDatabaseError("Ошибка доступа к таблице \"" + table + "\": " + error.Message);
    }
}

std::unique_ptr<TTableFile> TTableFile::Load(const std::string& path, const std::string& name) {
    std::unique_ptr<TTableFile> table(new TTableFile);
    table->TableName = name;
    table->FilePath = path;
    try {
        platform::TFile file(path, platform::TAccess::Read, platform::TShare::DenyNone,
                             platform::TDisposition::OpenExisting);
        // Stamped before reading: a write that lands while we read shows as
        // a change at the next statement, never as our own state.
        table->StampTime = file.ModifiedTime();
        int64_t size = file.Size();
        table->Data.resize(static_cast<size_t>(size));
        if (size > 0)
            file.ReadAt(0, table->Data.data(), static_cast<size_t>(size));
    } catch (const platform::EOSError& e) {
        ThrowFileError(e, name);
    }
    table->Parse();
    table->FindIndexes();
    return table;
}

std::unique_ptr<TTableFile> TTableFile::FromBytes(std::string bytes, const std::string& name) {
    std::unique_ptr<TTableFile> table(new TTableFile);
    table->TableName = name;
    table->Data = std::move(bytes);
    table->Parse();
    return table;
}

void TTableFile::Parse() {
    const std::string_view d = Data;
    auto corrupt = [&](const std::string& why) -> void {
        throw EDatabaseError("Файл таблицы \"" + TableName + "\" повреждён: " + why +
                             (FilePath.empty() ? "" : " (" + FilePath + ")"));
    };
    if (d.size() < 0x58)
        corrupt("файл короче заголовка");
    RecordSize = U16(d, 0x00);
    const size_t headerSize = U16(d, 0x02);
    const uint8_t fileType = static_cast<uint8_t>(d[0x04]);
    const int blockCode = static_cast<uint8_t>(d[0x05]);
    const int64_t numRecords = static_cast<int32_t>(U32(d, 0x06));
    const unsigned firstBlock = U16(d, 0x0E);
    const int numFields = I16(d, 0x21);
    KeyFields = I16(d, 0x23);
    VersionByte = static_cast<uint8_t>(d[0x39]);

    static const int knownVersions[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    if (std::find(std::begin(knownVersions), std::end(knownVersions), VersionByte) ==
        std::end(knownVersions))
        corrupt("неизвестная версия формата " + std::to_string(VersionByte));
    if (fileType != 0 && fileType != 2)
        corrupt("это не файл данных таблицы (тип " + std::to_string(fileType) + ")");
    IsKeyed = fileType == 0;
    if (blockCode < 1 || blockCode > 32)
        corrupt("неверный размер блока");
    const size_t fieldInfoAt = VersionByte >= 5 ? 0x78 : 0x58;
    if (headerSize < fieldInfoAt || headerSize > d.size())
        corrupt("неверный размер заголовка");
    if (numFields <= 0 || numFields > 1024)
        corrupt("неверное число полей " + std::to_string(numFields));
    if (RecordSize <= 0)
        corrupt("нулевой размер записи");
    if (KeyFields < 0 || KeyFields > numFields || (IsKeyed && KeyFields == 0))
        corrupt("неверное число ключевых полей");
    if (fieldInfoAt + 2 * static_cast<size_t>(numFields) > headerSize)
        corrupt("описания полей не помещаются в заголовок");

    // Encrypted tables keep their records scrambled; reading them as plain
    // data would give garbage that looks like values.
    const uint32_t encryption = VersionByte >= 5 ? U32(d, 0x5C) : U32(d, 0x25);
    if (encryption != 0)
        throw EDatabaseError("Таблица \"" + TableName +
                             "\" защищена паролем; такие таблицы не поддерживаются");

    TableCodePage = VersionByte >= 5 ? CodePageOrDefault(U16(d, 0x6A)) : 437;

    std::vector<std::string> names;
    if (!ReadFieldNames(d, headerSize, fieldInfoAt, numFields, VersionByte, TableCodePage, names))
        corrupt("имена полей не помещаются в заголовок");
    int offset = 0;
    for (int i = 0; i < numFields; ++i) {
        uint8_t type = static_cast<uint8_t>(d[fieldInfoAt + 2 * i]);
        int sizeByte = static_cast<uint8_t>(d[fieldInfoAt + 2 * i + 1]);
        if (!IsKnownFieldType(type))
            corrupt("неизвестный тип поля \"" + names[i] + "\"");
        TFieldType t = static_cast<TFieldType>(type);
        int length = FieldLength(t, sizeByte);
        if (length == 0)
            corrupt("неверная длина поля \"" + names[i] + "\"");
        FieldList.push_back({names[i], t, sizeByte, length, offset, {}});
        offset += length;
    }
    if (offset != RecordSize)
        corrupt("размер записи " + std::to_string(RecordSize) +
                " не совпадает с суммой длин полей " + std::to_string(offset));
    for (int i = 0; i < KeyFields && IsKeyed; ++i)
        FieldList[i].IndexedAs = "первичный ключ";

    // Records along the block chain, which need not follow file order.
    const size_t blockSize = static_cast<size_t>(blockCode) * 1024;
    const size_t blocksInFile = (d.size() - headerSize + blockSize - 1) / blockSize;
    if (numRecords < 0)
        corrupt("отрицательное число записей");
    if (static_cast<uint64_t>(numRecords) > (d.size() / static_cast<size_t>(RecordSize)) + 1)
        corrupt("число записей " + std::to_string(numRecords) + " больше, чем помещается в файл");
    RecordOffsets.reserve(static_cast<size_t>(numRecords));
    std::vector<bool> visited(blocksInFile + 1, false);
    const size_t perBlock = (blockSize - 6) / static_cast<size_t>(RecordSize);
    unsigned block = numRecords == 0 && firstBlock == 0 ? 0 : firstBlock;
    while (block != 0) {
        if (block > blocksInFile)
            corrupt("цепочка блоков указывает за пределы файла (блок " + std::to_string(block) +
                    ")");
        if (visited[block])
            corrupt("цепочка блоков зациклена (блок " + std::to_string(block) + ")");
        visited[block] = true;
        const size_t at = headerSize + (block - 1) * blockSize;
        if (at + 6 > d.size())
            corrupt("блок " + std::to_string(block) + " обрезан");
        const unsigned next = U16(d, at);
        const int addDataSize = I16(d, at + 4);
        size_t count = 0;
        if (addDataSize >= 0) {
            if (addDataSize % RecordSize != 0)
                corrupt("неверная длина данных блока " + std::to_string(block));
            count = static_cast<size_t>(addDataSize / RecordSize) + 1;
        }
        if (count > perBlock)
            corrupt("в блоке " + std::to_string(block) + " больше записей, чем в нём помещается");
        if (at + 6 + count * static_cast<size_t>(RecordSize) > d.size())
            corrupt("файл обрезан в блоке " + std::to_string(block));
        if (RecordOffsets.size() + count > static_cast<size_t>(numRecords))
            corrupt("записей в блоках больше, чем в заголовке (" + std::to_string(numRecords) +
                    ")");
        for (size_t r = 0; r < count; ++r)
            RecordOffsets.push_back(static_cast<int64_t>(at + 6 + r * RecordSize));
        block = next;
    }
    if (RecordOffsets.size() != static_cast<size_t>(numRecords))
        corrupt("в заголовке " + std::to_string(numRecords) + " записей, в блоках " +
                std::to_string(RecordOffsets.size()));
}

void TTableFile::FindIndexes() {
    // Secondary indexes live beside the table as NAME.Xnn and NAME.XGn; their
    // headers name the fields they cover. Changing such a field would leave
    // the index stale, so those fields are marked and never written.
    const fs::path tablePath(FilePath);
    const std::string stem = tablePath.stem().string();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(tablePath.parent_path(), ec)) {
        const std::string fileName = entry.path().filename().string();
        const std::string ext = entry.path().extension().string();
        if (!SameName(entry.path().stem().string(), stem) || ext.size() < 3 ||
            (ext[1] != 'x' && ext[1] != 'X'))
            continue;
        std::string bytes;
        try {
            platform::TFile file(entry.path().string(), platform::TAccess::Read,
                                 platform::TShare::DenyNone, platform::TDisposition::OpenExisting);
            int64_t size = std::min<int64_t>(file.Size(), 64 * 1024);
            bytes.resize(static_cast<size_t>(size));
            if (size > 0)
                file.ReadAt(0, bytes.data(), bytes.size());
        } catch (const platform::Exception& e) {
            WriteRefusal = "не удалось прочитать индекс \"" + fileName + "\": " + e.Message;
            continue;
        }
        bool understood = false;
        if (bytes.size() >= 0x58) {
            const int version = static_cast<uint8_t>(bytes[0x39]);
            const size_t headerSize = std::min<size_t>(U16(bytes, 0x02), bytes.size());
            const int numFields = I16(bytes, 0x21);
            const int indexField = static_cast<uint8_t>(bytes[0x15]);
            if (indexField >= 1 && indexField <= static_cast<int>(FieldList.size())) {
                FieldList[indexField - 1].IndexedAs = "вторичный индекс " + fileName;
                understood = true;
            }
            std::vector<std::string> names;
            if (numFields > 0 && numFields < 256 &&
                ReadFieldNames(bytes, headerSize, version >= 5 ? 0x78 : 0x58, numFields, version,
                               TableCodePage, names)) {
                for (const auto& n : names) {
                    int field = FieldIndex(n);
                    if (field >= 0) {
                        if (FieldList[field].IndexedAs.empty())
                            FieldList[field].IndexedAs = "вторичный индекс " + fileName;
                        understood = true;
                    }
                }
            }
        }
        if (!understood)
            WriteRefusal = "не удалось определить поля индекса \"" + fileName + "\"";
    }
}

int TTableFile::FieldIndex(std::string_view name) const {
    for (size_t i = 0; i < FieldList.size(); ++i)
        if (SameName(FieldList[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

std::string_view TTableFile::FieldBytes(size_t row, int field) const {
    const TFieldInfo& f = FieldList[static_cast<size_t>(field)];
    return std::string_view(Data).substr(static_cast<size_t>(RecordOffsets[row] + f.Offset),
                                         static_cast<size_t>(f.Length));
}

TValue TTableFile::Value(size_t row, int field) const {
    const TFieldInfo& f = FieldList[static_cast<size_t>(field)];
    return DecodeField(f.Type, f.SizeByte, FieldBytes(row, field), TableCodePage);
}

// Any write by another program moves the modification time; one stat per
// statement is the whole cost of never working on a stale copy. The path is
// asked, not our handle, so a file replaced under the same name counts too.
bool TTableFile::ChangedOnDisk() const {
    const int64_t time = platform::FileModifiedTime(FilePath);
    return time < 0 || time != StampTime;
}

void TTableFile::Write(const std::vector<TFieldWrite>& writes) {
    if (!WriteRefusal.empty())
        throw EDatabaseError("Таблица \"" + TableName +
                             "\" не может быть изменена: " + WriteRefusal);
    try {
        if (!Writer.IsOpen())
            Writer =
                platform::TFile(FilePath, platform::TAccess::ReadWrite, platform::TShare::DenyNone,
                                platform::TDisposition::OpenExisting);
        // Fields that change in one record and lie side by side go out in
        // one write; bytes that stay the same are not written at all.
        std::vector<std::pair<int64_t, const TFieldWrite*>> pending;
        pending.reserve(writes.size());
        for (const TFieldWrite& w : writes) {
            const TFieldInfo& f = FieldList[static_cast<size_t>(w.Field)];
            const int64_t at = RecordOffsets[w.Row] + f.Offset;
            if (std::memcmp(Data.data() + at, w.Bytes.data(), w.Bytes.size()) != 0)
                pending.emplace_back(at, &w);
        }
        std::sort(pending.begin(), pending.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string run;
        for (size_t i = 0; i < pending.size();) {
            const int64_t start = pending[i].first;
            run = pending[i].second->Bytes;
            size_t j = i + 1;
            while (j < pending.size() &&
                   pending[j].first == start + static_cast<int64_t>(run.size())) {
                run += pending[j].second->Bytes;
                ++j;
            }
            Writer.WriteAt(start, run.data(), run.size());
            std::memcpy(Data.data() + start, run.data(), run.size());
            i = j;
        }
        // Our own write moved the time; the handle tells it without a path walk.
        StampTime = Writer.ModifiedTime();
    } catch (const platform::EOSError& e) {
        StampTime = platform::FileModifiedTime(FilePath);
        ThrowFileError(e, TableName);
    }
}

} // namespace db
