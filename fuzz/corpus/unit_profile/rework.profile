# A unit back for rework: defects in its table, one pair marked, a bright
# aperture table and a tired flash.
base = stored-defects
identification = W73Q000000042
hot_pixel = 2500 1333 640.5
stored_defect = 2500 1333
stored_defect_word = b 0x0203 0x0150
stored_defect_counts = 3 2
aperture_gain = 1 1.25 1.0 1.0 0.8
flash_values = -12 7
pre_guide_number = 2.1
af_stuck_auto = false
random_hot_pixels = 20
