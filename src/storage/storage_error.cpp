#include "storage/storage_error.h"

namespace zelmar {

std::string StorageError::text() const
{
    switch (kind) {
    case Kind::cannotCreateFile:
        return "無法建立檔案：" + path;
    case Kind::fileSystem:
        return detail + "（" + path + "）";
    case Kind::encoding:
        return "無法編碼資料：" + detail;
    }
    return detail;
}

} // namespace zelmar
