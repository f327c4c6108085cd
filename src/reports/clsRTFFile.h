// The file-folder report: every file-folder entry with its path and notes, as one landscape table.
#pragma once

#include <memory>

class clsRTFMaster;

class clsRTFFile
{
public:
    clsRTFFile();
    ~clsRTFFile();
    clsRTFFile(const clsRTFFile&) = delete;
    clsRTFFile& operator=(const clsRTFFile&) = delete;

    // Writes the report file, as RTF or (bRTF false) comma-separated. File errors are raised.
    void Build(bool bRTF);
    // Opens the file that Build wrote.
    void Show();

private:
    clsRTFMaster& RTFMaster();

    std::unique_ptr<clsRTFMaster> moRTFMaster;
};
