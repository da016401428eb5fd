#pragma once

namespace q5n {

// "Compare with File..." and "Compare with Decoder" of the Tools menu. The
// comparison window and the decoder's busy window are the windows layer's:
// the program registers a factory with the main window
// (MainWindow::setCompareFactory), and the shell reaches them only through
// this interface.
class CompareCommands
{
public:
    virtual ~CompareCommands() = default;

    // A setup file chosen in the Open dialog, compared with the working
    // configuration.
    virtual void compareWithFile() = 0;
    // The section the decoder sends over the current link settings; returns
    // once the upload has started. The working configuration stays as it is.
    virtual void compareWithDecoder() = 0;
};

} // namespace q5n
