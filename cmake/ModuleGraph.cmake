# The module graph: every module of the product and of the tools built on it,
# its folder and the modules it uses. A module may include the headers of the
# modules it uses and of nothing else; its archive links exactly those. The
# build links by this table and the include check
# (tests/tools/module_graph.cmake) holds every source file to it, so the table
# is the one place the layering is written down.
#
# module              folder               uses
set(QZ_MODULE_GRAPH
  "platform            src/platform"
  "platform_internet   src/platform/internet platform"
  "platform_pe         src/platform/pe       platform"
  "platform_trust      src/platform/trust    platform platform_pe"
  "platform_window     src/platform/window   platform"
  "osal                src/osal              platform"
  "config              src/config            osal platform"
  "patchservice        src/patchservice      config osal platform platform_internet platform_pe platform_trust"
  "gui                 src/gui               config osal platform platform_window"
  "dialogs             src/dialogs           gui osal platform platform_window"
  "update              src/update            dialogs patchservice osal platform platform_internet platform_pe platform_trust platform_window"
  "rc                  tools/rc              platform"
  "render              tools/render          platform platform_window rc"
  "preview             tools/preview         dialogs gui osal platform platform_window"
  "qzskin              tools/qzskin          preview render rc dialogs gui config osal platform platform_window"
  "qzupdate            tools/qzupdate        platform platform_trust"
)
