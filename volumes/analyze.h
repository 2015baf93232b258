// Analyze 7.5 volumes: 4D images stored as a pair of files, base.hdr (the 348-byte header)
// and base.img (the raw voxels), both in the machine's little-endian order.
//
// The header's dim[1..4] are columns, rows, slices and volumes (16-bit each), pixdim[1..3] the
// spacings along columns, rows and slices. ALZFLT and ALZSHT store rows top first; ALZGRY
// stores them bottom first.
#pragma once

#include <cstdint>
#include <string>

#include "volumes/volumes.h"

#pragma GCC visibility push(default)

// The Analyze 7.5 header, exactly as stored (no padding; every field at its published offset).
struct AlzHdr {
  // header_key
  int32_t sizeof_hdr;  // 348
  char data_type[10];
  char db_name[18];
  int32_t extents;
  int16_t session_error;
  char regular;  // 'r'
  char hkey_un0;
  // image_dimension
  int16_t dim[8];  // dim[0] is 4: columns, rows, slices, volumes
  char vox_units[4];
  char cal_units[8];
  int16_t unused1;
  int16_t datatype;  // 2 unsigned 8-bit, 4 signed 16-bit, 16 float
  int16_t bitpix;
  int16_t dim_un0;
  float pixdim[8];
  float vox_offset;
  float funused1;
  float funused2;
  float funused3;
  float cal_max;
  float cal_min;
  float compressed;
  float verified;
  int32_t glmax;
  int32_t glmin;
  // data_history
  char descrip[80];
  char aux_file[24];
  char orient;
  char origem[10];  // five int16 at odd offsets
  char generated[10];
  char scannum[10];
  char patient_id[10];
  char exp_date[10];
  char exp_time[10];
  char hist_un0[3];
  int32_t views;
  int32_t vols_added;
  int32_t start_field;
  int32_t field_skip;
  int32_t omax;
  int32_t omin;
  int32_t smax;
  int32_t smin;
};
static_assert(sizeof(AlzHdr) == 348, "AlzHdr must be the 348 bytes of the file");

// Float voxels (datatype 16, 32 bits).
class ALZFLT {
 public:
  AlzHdr hdr{};
  I4DFLT img;

  ALZFLT() = default;
  // nv volumes of ns slices of nl rows by nc columns; dz, dx, dy the slice, column and row
  // spacings. The header is a default one for these.
  ALZFLT(int nv, int ns, int nc, int nl, float dz, float dx, float dy);
  // Sizes the image and takes the header h, with dim[0..4] set from the counts.
  ALZFLT(int nv, int ns, int nc, int nl, const AlzHdr& h);
  // Resizes the image and rebuilds the whole header as a default one.
  void resize(int nv, int ns, int nc, int nl, float dz, float dx, float dy);
  void ImpAlz(const std::string& base) const;
  void LeAlz(const std::string& base);
};

// Signed 16-bit voxels (datatype 4, 16 bits).
class ALZSHT {
 public:
  AlzHdr hdr{};
  I4DSHT img;

  ALZSHT() = default;
  ALZSHT(int nv, int ns, int nc, int nl, float dz, float dx, float dy);
  ALZSHT(int nv, int ns, int nc, int nl, const AlzHdr& h);
  void resize(int nv, int ns, int nc, int nl, float dz, float dx, float dy);
  void ImpAlz(const std::string& base) const;
  void LeAlz(const std::string& base);
};

// Unsigned 8-bit voxels (datatype 2, 8 bits). The header is filled by LeAlz or by the caller.
class ALZGRY {
 public:
  AlzHdr hdr{};
  I4DGRY img;

  void ImpAlz(const std::string& base) const;
  void LeAlz(const std::string& base);
};

// Print the header on stdout, one line per field (the complete form shows every field).
void ShowAlzHdr(const AlzHdr& h);
void ShowCompleteAlzHdr(const AlzHdr& h);
// Copies all 348 bytes of b into a.
void CopyAlzHdr(AlzHdr& a, const AlzHdr& b);
// Reads 348 bytes from the file named exactly name into h, unchecked.
void LeAlzHdr(AlzHdr& h, const std::string& name);

#pragma GCC visibility pop
