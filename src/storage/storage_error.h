#pragma once

// The errors of the storage layer. Each carries what its message needs; the
// text is the description logged after "緩衝檔寫入失敗：" and the like.

#include <string>

namespace zelmar {

struct StorageError {
    enum class Kind {
        cannotCreateFile, // the platform refused to create the file
        fileSystem, // any other platform file error; detail is its message
        encoding, // a value that cannot be written (a non-finite number)
    };

    Kind kind = Kind::fileSystem;
    std::string path; // UTF-8
    std::string detail; // the platform's message, or what could not be encoded

    static StorageError cannotCreateFile(std::string path) { return { Kind::cannotCreateFile, std::move(path), {} }; }
    static StorageError fileSystem(std::string path, std::string detail)
    {
        return { Kind::fileSystem, std::move(path), std::move(detail) };
    }
    static StorageError encoding(std::string detail) { return { Kind::encoding, {}, std::move(detail) }; }

    [[nodiscard]] std::string text() const;
};

} // namespace zelmar
