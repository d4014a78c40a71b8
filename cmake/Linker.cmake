# Link with lld when it is installed (scripts/install-deps.sh installs it): the test, fuzz and
# benchmark programs link in about a fifth of the GNU linker's time, which counts on a cold build
# with some ninety programs.
find_program(BRIMVALE_LLD ld.lld)
if(BRIMVALE_LLD)
  include(CheckLinkerFlag)
  check_linker_flag(CXX -fuse-ld=lld BRIMVALE_LINKER_LLD)
  if(BRIMVALE_LINKER_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()
