#pragma once
// The application tests log into a file of their own (a temporary folder set
// up once per process); a test reads back what was logged since its mark.
#include <string>

class AppTestLog {
public:
    // Opens the log file on first use; returns the folder it lives in.
    static const std::string& Folder();
    // Whether Folder() opened the file log in this process already.
    static bool IsOpen();
    // Everything logged so far (the live file up to its zero tail).
    static std::string All();

    AppTestLog() : mMark(All().size()) {}
    // What was logged since this object was made.
    std::string Since() const { return All().substr(mMark); }
    bool Contains(const std::string& part) const { return Since().find(part) != std::string::npos; }

private:
    size_t mMark;
};

// A fresh temporary folder, removed with its contents at destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return mPath; }
    std::string File(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

std::string ReadTextFile(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& text);
