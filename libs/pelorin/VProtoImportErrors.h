#pragma once

#include <google/protobuf/compiler/importer.h>

// Logs what the proto importer finds wrong in a file.
class VProtoImportErrors : public google::protobuf::compiler::MultiFileErrorCollector
{
public:
    void AddError(const std::string &filename, int line, int column, const std::string &message) override;
    void AddWarning(const std::string &filename, int line, int column, const std::string &message) override;
};
