#pragma once

#include <future>

// A save ends with the disk confirming the file, which takes time but no processor: meanwhile the worker
// decodes and encodes its next file. One commit at most runs behind each worker.
class SaveBehind
{
public:
    SaveBehind() = default;
    SaveBehind(const SaveBehind &) = delete;
    SaveBehind &operator=(const SaveBehind &) = delete;
    ~SaveBehind() { wait(); }

    template<class Commit>
    void start(Commit commit)
    {
        wait();
        m_commit = std::async(std::launch::async, std::move(commit));
    }

    void wait()
    {
        if (m_commit.valid())
            m_commit.get();
    }

private:
    std::future<void> m_commit;
};
