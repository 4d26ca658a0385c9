#!/bin/busybox sh
# /init of the kernel stage's VM: loads the drivers QEMU's CD-ROMs need,
# waits for their device nodes, runs the checks and powers off (QEMU then
# exits with status 0; the host judges the console output).
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
echo "STAGE modules"
for m in scsi_common scsi_mod cdrom sr_mod sg virtio_ring virtio virtio_pci_legacy_dev \
         virtio_pci_modern_dev virtio_pci virtio_scsi libata ata_piix ata_generic isofs; do
  insmod /modules/$m.ko || echo "INFO insmod: $m failed"
done
want=$(grep -c '^drive ' /plan)
i=0
while [ "$(ls /sys/class/block | grep -c '^sr')" -lt "$want" ] && [ $i -lt 100 ]; do
  sleep 0.2
  i=$((i + 1))
done
echo "STAGE checks ($(ls /sys/class/block | grep -c '^sr') drives after $i waits)"
/dorvik_kernel_checks /plan
echo "STAGE end"
poweroff -f
