#pragma once

#include <future>

// A save ends with the disk confirming the file, which takes time but hardly any processor: meanwhile the
// worker decodes its next file. One save at most runs behind each worker.
class SaveBehind
{
public:
    SaveBehind() = default;
    SaveBehind(const SaveBehind &) = delete;
    SaveBehind &operator=(const SaveBehind &) = delete;
    ~SaveBehind() { wait(); }

    template<class Save>
    void start(Save save)
    {
        wait();
        m_save = std::async(std::launch::async, std::move(save));
    }

    void wait()
    {
        if (m_save.valid())
            m_save.get();
    }

private:
    std::future<void> m_save;
};
