#pragma once
// The real file system for LibraryStore, with counted writes and failures on demand.
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "library/LibraryFileSystem.h"

class TestFileSystem : public LibraryFileSystem {
public:
    int writes = 0;
    bool failWrites = false;
    bool failMoves = false;

    void writeAtomically(const std::filesystem::path& path, std::string_view data) override {
        if (failWrites) throw std::runtime_error("disk full");
        ++writes;
        LibraryFileSystem::writeAtomically(path, data);
    }
    void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) override {
        if (failMoves) throw std::runtime_error("read-only");
        LibraryFileSystem::moveItem(from, to);
    }

    // Writes a file directly, making its folders: for files the store is to find.
    static void put(const std::filesystem::path& p, const std::string& content) {
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }
};
