// The password report: every password entry with its plain password, as one landscape table.
#pragma once

#include <memory>

class clsRTFMaster;

class clsRTFPassword
{
public:
    clsRTFPassword();
    ~clsRTFPassword();
    clsRTFPassword(const clsRTFPassword&) = delete;
    clsRTFPassword& operator=(const clsRTFPassword&) = delete;

    // Writes the report file, as RTF or (bRTF false) comma-separated. File errors are raised.
    void Build(bool bRTF);
    // Opens the file that Build wrote.
    void Show();

private:
    clsRTFMaster& RTFMaster();

    std::unique_ptr<clsRTFMaster> moRTFMaster;
};
