// The folder chooser of the custom page.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace Installer {

class FolderBrowser {
 public:
  // Puts work onto the window's thread (the window's PostTask).
  using Poster = std::function<void(std::function<void()>)>;
  // Receives the folder the person chose, on the window's thread.
  using Chosen = std::function<void(const std::wstring& folder)>;

  explicit FolderBrowser(Poster post);
  // Closes a chooser that is still open and waits for it: a window that
  // goes away does not wait for a person.
  ~FolderBrowser();
  FolderBrowser(const FolderBrowser&) = delete;
  FolderBrowser& operator=(const FolderBrowser&) = delete;

  // Asks for a folder, titled `title`, starting at `initial`. `chosen` runs
  // only when a folder was chosen: not on cancel, not when the system offers
  // no chooser (that is logged and the edit field stays the way to give a
  // folder).
  //
  // Windows shows its modal folder dialog and answers before returning.
  // Linux runs the desktop's chooser (zenity, kdialog) as a child process
  // and answers through the poster once it ends, the window staying
  // responsive meanwhile; a second call while one is open does nothing.
  // Called on the window's thread.
  void Browse(const std::wstring& title, const std::wstring& initial, Chosen chosen);

  // True from a Browse that opened a chooser until its answer has been
  // handled on the window's thread.
  bool IsOpen() const;

 private:
  class Chooser;  // per system
  std::unique_ptr<Chooser> chooser_;
};

}  // namespace Installer
