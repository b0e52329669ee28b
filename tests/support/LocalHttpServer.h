#pragma once

#include <juce_core/juce_core.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace wrendle_test
{

/** A one-thread HTTP server on 127.0.0.1 that gives every request the same
    response, or holds the connection and never answers. It stops when destroyed
    and, in any case, after a fixed lifetime, so a failing test cannot hang.
*/
class LocalHttpServer
{
public:
    enum class Behaviour
    {
        answer,          ///< status line, headers and the whole body
        neverAnswer,     ///< accept the connection, then stay silent
        stallInsideBody, ///< headers and the first bytes of the body, then silence
    };

    LocalHttpServer (Behaviour behaviourToUse, int statusCodeToUse = 200, std::string bodyToUse = {})
        : behaviour (behaviourToUse), statusCode (statusCodeToUse), body (std::move (bodyToUse))
    {
#if ! JUCE_WINDOWS
        // A fetcher that stops reading an oversized answer closes the connection
        // while this server is still sending; that must not kill the test.
        std::signal (SIGPIPE, SIG_IGN);
#endif

        if (! listener.createListener (0, "127.0.0.1"))
            throw std::runtime_error ("cannot listen on 127.0.0.1");

        worker = std::thread ([this]
                              { serve(); });
    }

    ~LocalHttpServer()
    {
        {
            const std::lock_guard<std::mutex> lock (mutex);
            stopping = true;
        }

        worker.join();
    }

    /** The address the fetcher appends "<identifier>.kvn" to. */
    juce::String address() const
    {
        return "http://127.0.0.1:" + juce::String (listener.getBoundPort()) + "/news/";
    }

    /** Waits (bounded) until a request has arrived and what this server sends has
        been sent; false when no request came.
    */
    bool waitForRequest()
    {
        std::unique_lock<std::mutex> lock (mutex);
        return handled.wait_for (lock, std::chrono::seconds (20), [this]
                                 { return numHandled > 0; });
    }

    std::vector<std::string> requests() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return requestLines;
    }

private:
    bool shouldStop() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return stopping || juce::Time::getMillisecondCounter() > deadlineMs;
    }

    void serve()
    {
        while (! shouldStop())
        {
            if (listener.waitUntilReady (true, 20) != 1)
                continue;

            std::unique_ptr<juce::StreamingSocket> client (listener.waitForNextConnection());

            if (client != nullptr)
                handle (*client);
        }
    }

    void handle (juce::StreamingSocket& client)
    {
        std::string request;

        while (request.find ("\r\n\r\n") == std::string::npos && ! shouldStop())
        {
            if (client.waitUntilReady (true, 20) != 1)
                continue;

            char buffer[512];
            const auto numRead = client.read (buffer, (int) sizeof (buffer), false);

            if (numRead <= 0)
                return;

            request.append (buffer, (size_t) numRead);
        }

        // Recorded before answering: once the fetch has its answer, the request is on record.
        {
            const std::lock_guard<std::mutex> lock (mutex);
            requestLines.push_back (request.substr (0, request.find ("\r\n")));
        }

        if (behaviour != Behaviour::neverAnswer)
        {
            const auto head = "HTTP/1.1 " + std::to_string (statusCode) + " Whatever\r\n"
                              + "Content-Type: text/xml\r\nContent-Length: " + std::to_string (body.size())
                              + "\r\nConnection: close\r\n\r\n";

            const auto sent = behaviour == Behaviour::answer ? head + body : head + body.substr (0, 16);

            for (size_t offset = 0; offset < sent.size();)
            {
                const auto numWritten = client.write (sent.data() + offset, (int) (sent.size() - offset));

                if (numWritten <= 0)
                    break; // the fetcher gave up on an oversized answer

                offset += (size_t) numWritten;
            }
        }

        {
            const std::lock_guard<std::mutex> lock (mutex);
            ++numHandled;
        }

        handled.notify_all();

        if (behaviour != Behaviour::answer)
            holdUntilStopped();
    }

    void holdUntilStopped() const
    {
        while (! shouldStop())
            juce::Thread::sleep (20);
    }

    const Behaviour behaviour;
    const int statusCode;
    const std::string body;
    const juce::uint32 deadlineMs = juce::Time::getMillisecondCounter() + 60000;

    juce::StreamingSocket listener;
    mutable std::mutex mutex;
    std::condition_variable handled;
    std::vector<std::string> requestLines;
    int numHandled = 0;
    bool stopping = false;
    std::thread worker;
};

} // namespace wrendle_test
