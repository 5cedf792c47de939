// Speeds without a B-constant (76800) need termios2, whose header cannot share a file with <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace orva::platform {

int set_serial_speed_any(int fd, unsigned speed)
{
    struct termios2 tio;
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return -1;
    tio.c_cflag &= ~CBAUD;
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = speed;
    tio.c_ospeed = speed;
    tio.c_cflag &= ~(CBAUD << IBSHIFT);
    tio.c_cflag |= BOTHER << IBSHIFT;
    if (::ioctl(fd, TCSETS2, &tio) != 0)
        return -1;
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return -1;
    return tio.c_ospeed == speed ? 0 : -1;
}

} // namespace orva::platform
