// Package members for tests, each with the same stored file time so that extracted and copied
// files can be checked against it.
#pragma once
#include <cstdint>
#include <string>

#include "PackageWriter.h"

const uint64_t kStoredTime = 0x01D5A1B2C3D4E5F6ULL;  // 2019, with every byte distinct

inline kx::PackageMember Member(const std::string& subfolder, const std::string& name, const std::string& data,
                                uint8_t copyMode = 0, uint8_t groupFlag = 0) {
    kx::PackageMember member;
    member.subfolder = subfolder;
    member.name = name;
    member.data = data;
    member.copyMode = copyMode;
    member.groupFlag = groupFlag;
    member.fileTime = kStoredTime;
    return member;
}
